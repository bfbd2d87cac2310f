// Exporters whose portal format is not built yet: they do nothing, so `RunFinished`
// stays false and the run reports that it did not finish.
#include "exporters/exporters.h"

namespace listelo {

void ExportNeoWebCar(Run&) {}
void ExportSitAutoPro(Run&) {}
void ExportTopAnnonces(Run&) {}
void ExportAnnoncesJaunes(Run&) {}
void ExportAxeCibles(Run&) {}
void ExportLArgus(Run&) {}
void ExportPVO(Run&) {}

}  // namespace listelo
