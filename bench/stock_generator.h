// A realistic source stock document of any size, for benchmarks: every record set
// filled, about 6 photos and 25 equipment codes per vehicle, French texts with accents.
#pragma once

#include <string>

namespace listelo::bench {

// Which exporter's vehicle fields the records carry besides the common ones.
enum class StockFields {
  kParuVendu,    // the ParuVendu document's fields only
  kAutoScout24,  // also IMarque, IModele, IVersion, MoisMEC, AnneeMEC, PrixDuBien,
                 // PrixConstructeur, the InfoEqui* lists of real codes, InfoVR, pPromo...
  kNeoWebCar,    // also StatutVD, PrixCatalogue, InfoOptions, the InfoEqui* lists,
                 // Options3270, NbPortes, Contact...
  kPvo,          // also the sale and buyer fields: dates, prices, seller, Cli*...
  kLArgus,       // also id-Client (50 dealer accounts), TypeCarrosserie, Chassis,
                 // CodePostal, Ville
  kSitAutoPro,   // also the upper-case fields of the SitAutoPro and LeBonCoin documents
                 // (MARQUE... the equipment flags, TUNING last); every vehicle stands in
                 // the town of one of the dealer's sites, each site in a town of its own
  kTopAnnonces,  // also reference, marque, modele, MODELEVERSION (before the equipment
                 // lists), tel_agence, BOITE_DE_VITESSE, NB_PORTES, YearMEC, FirstMEC,
                 // complements and NOMPHOTO1..6 instead of NomPhoto1..6; site records
                 // name their town in Site; no dealer-site section (COORDONNEESS)
  kInfoPress,    // also InfoMarque, InfoModele, Carrosserie, contact, LibelleSociete,
                 // MsgGarCons, SIREN, CodePostal, photo1..photo6 (Rad1 and InfoPress)
};

// The document as the stock database writes it (UTF-8, indented). The same `vehicles`,
// `seed` and `fields` always give the same bytes; extra fields do not change the others.
// Vehicle idVO values run from 1 to `vehicles`; some photo records name a vehicle that
// does not exist. `sites` is the number of the dealer's sites (COORDONNEES records).
std::string MakeStockDocument(int vehicles, unsigned seed = 1,
                              StockFields fields = StockFields::kParuVendu, int sites = 12);

}  // namespace listelo::bench
