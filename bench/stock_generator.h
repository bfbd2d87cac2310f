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
  kInfoPress,    // also InfoMarque, InfoModele, Carrosserie, contact, LibelleSociete,
                 // MsgGarCons, SIREN, CodePostal, photo1..photo6 (Rad1 and InfoPress)
};

// The document as the stock database writes it (UTF-8, indented). The same `vehicles`,
// `seed` and `fields` always give the same bytes; extra fields do not change the others.
// Vehicle idVO values run from 1 to `vehicles`; some photo records name a vehicle that
// does not exist.
std::string MakeStockDocument(int vehicles, unsigned seed = 1,
                              StockFields fields = StockFields::kParuVendu);

}  // namespace listelo::bench
