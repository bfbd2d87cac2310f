// listelo_make_stock N out.xml: writes a source stock document of N vehicles.
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/files.h"
#include "stock_generator.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::atoi(argv[1]) < 0) {
    std::cerr << "usage: listelo_make_stock VEHICLES OUT.xml\n";
    return 2;
  }
  try {
    listelo::ReplaceFileAtomically(argv[2], listelo::bench::MakeStockDocument(std::atoi(argv[1])));
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  return 0;
}
