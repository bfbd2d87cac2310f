// listelo_make_stock [--autoscout24|--neowebcar|--pvo|--largus|--topannonces|--infopress|
//                     --sitautopro SITES] N out.xml:
// writes a source stock document of N vehicles; the option adds the fields of that
// exporter's document (--sitautopro spreads the vehicles over SITES dealer sites).
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <utility>

#include "app/files.h"
#include "stock_generator.h"

int main(int argc, char** argv) {
  auto fields = listelo::bench::StockFields::kParuVendu;
  int sites = 12;
  const std::pair<std::string_view, listelo::bench::StockFields> options[] = {
      {"--autoscout24", listelo::bench::StockFields::kAutoScout24},
      {"--neowebcar", listelo::bench::StockFields::kNeoWebCar},
      {"--pvo", listelo::bench::StockFields::kPvo},
      {"--largus", listelo::bench::StockFields::kLArgus},
      {"--topannonces", listelo::bench::StockFields::kTopAnnonces},
      {"--infopress", listelo::bench::StockFields::kInfoPress}};
  for (const auto& [option, option_fields] : options) {
    if (argc > 1 && std::string_view(argv[1]) == option) {
      fields = option_fields;
      --argc;
      ++argv;
      break;
    }
  }
  if (argc > 2 && std::string_view(argv[1]) == "--sitautopro") {
    fields = listelo::bench::StockFields::kSitAutoPro;
    sites = std::atoi(argv[2]);
    argc -= 2;
    argv += 2;
  }
  if (argc != 3 || std::atoi(argv[1]) < 0 || sites < 1) {
    std::cerr << "usage: listelo_make_stock [--autoscout24|--neowebcar|--pvo|--largus|"
                 "--topannonces|--infopress|--sitautopro SITES] VEHICLES OUT.xml\n";
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
