// The exporters, one per portal family. Each owns the run from its start to
// `RunFinished`; errors that end a run are raised to the caller of StartExport.
#pragma once

#include <string_view>

namespace listelo {

class Run;

void ExportParuVendu(Run& run, std::string_view target);  // PARUVENDU, AUTOREFLEX
void ExportAutoScout24(Run& run);                         // AUTOSCOUT24, VPN
void ExportNeoWebCar(Run& run);
void ExportSitAutoPro(Run& run);  // SITAUTOPRO, LEBONCOIN
void ExportTopAnnonces(Run& run);
void ExportRad1(Run& run, std::string_view label);  // "Rad1", "InfoPress"
void ExportAnnoncesJaunes(Run& run);
void ExportAxeCibles(Run& run);
void ExportLArgus(Run& run);
void ExportPVO(Run& run);

}  // namespace listelo
