// listelo_make_stock [--autoscout24 | --sitautopro SITES] N out.xml: writes a source
// stock document of N vehicles; --autoscout24 adds the fields of the AutoScout24 and VPN
// documents, --sitautopro those of the SitAutoPro and LeBonCoin documents, with the
// vehicles spread over SITES dealer sites.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "app/files.h"
#include "stock_generator.h"

int main(int argc, char** argv) {
  auto fields = listelo::bench::StockFields::kParuVendu;
  int sites = 12;
  if (argc > 1 && std::string_view(argv[1]) == "--autoscout24") {
    fields = listelo::bench::StockFields::kAutoScout24;
    --argc;
    ++argv;
  } else if (argc > 2 && std::string_view(argv[1]) == "--sitautopro") {
    fields = listelo::bench::StockFields::kSitAutoPro;
    sites = std::atoi(argv[2]);
    argc -= 2;
    argv += 2;
  }
  if (argc != 3 || std::atoi(argv[1]) < 0 || sites < 1) {
    std::cerr
        << "usage: listelo_make_stock [--autoscout24 | --sitautopro SITES] VEHICLES OUT.xml\n";
    return 2;
  }
  try {
    listelo::ReplaceFileAtomically(
        argv[2], listelo::bench::MakeStockDocument(std::atoi(argv[1]), 1, fields, sites));
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  return 0;
}
