// SPDX-License-Identifier: Apache-2.0
// The product name: the "product-id" sensor's reading looked up in the local product map.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "lib/admin/product_map.hpp"
#include "lib/protocol/server_contract.hpp"
#include "qel.h"

using namespace qel;

namespace {

constexpr char kProductMapPath[] = "/usr/local/config/prod_id_map";

struct FileCloser {
  void operator()(std::FILE *file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

extern "C" {

// The map must open before the sensor is asked, so a missing map is reported as such even when
// the sensor has no reading. A failed sensor read hides the sensor's own code behind 24.
unsigned int qelGetProductId(char **productName) {
  errno = 0;
  const File map(std::fopen(kProductMapPath, "r"));
  if (!map) return RESULT_FILE_UNAVAILABLE;

  float reading = 0.0f;
  if (qelSysGetSensorValue(kProductIdSensor, &reading) != RESULT_OK) return RESULT_NOT_REGISTERED;
  if (reading == QEL_NO_READING) {
    *productName = strdup("N/A");
    return RESULT_OK;
  }

  const int32_t product = productNumber(reading);
  char piece[kMapPieceSize];
  while (std::fgets(piece, sizeof piece, map.get()) != nullptr) {
    if (const char *name = nameInMapPiece(piece, product)) {
      *productName = strdup(name);
      return RESULT_OK;
    }
  }
  return RESULT_NOT_AVAILABLE;
}

}  // extern "C"
