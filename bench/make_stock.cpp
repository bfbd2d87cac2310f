// listelo_make_stock [--autoscout24 | --infopress] N out.xml: writes a source stock
// document of N vehicles; --autoscout24 adds the fields of the AutoScout24 and VPN
// documents, --infopress those of the Rad1 and InfoPress one.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "app/files.h"
#include "stock_generator.h"

int main(int argc, char** argv) {
  auto fields = listelo::bench::StockFields::kParuVendu;
  if (argc > 1 && std::string_view(argv[1]) == "--autoscout24") {
    fields = listelo::bench::StockFields::kAutoScout24;
    --argc;
    ++argv;
  } else if (argc > 1 && std::string_view(argv[1]) == "--infopress") {
    fields = listelo::bench::StockFields::kInfoPress;
    --argc;
    ++argv;
  }
  if (argc != 3 || std::atoi(argv[1]) < 0) {
    std::cerr << "usage: listelo_make_stock [--autoscout24 | --infopress] VEHICLES OUT.xml\n";
    return 2;
  }
  try {
    listelo::ReplaceFileAtomically(
        argv[2], listelo::bench::MakeStockDocument(std::atoi(argv[1]), 1, fields));
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  return 0;
}
