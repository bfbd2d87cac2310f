// A realistic source stock document of any size, for benchmarks: every record set
// filled, about 6 photos and 25 equipment codes per vehicle, French texts with accents.
#pragma once

#include <string>

namespace listelo::bench {

// The document as the stock database writes it (UTF-8, indented). The same `vehicles`
// and `seed` always give the same bytes. Vehicle idVO values run from 1 to `vehicles`;
// some photo records name a vehicle that does not exist.
std::string MakeStockDocument(int vehicles, unsigned seed = 1);

}  // namespace listelo::bench
