#include "service/store/storeLayout.h"

std::string newerLayoutMessage(std::int64_t version) {
  return "the store was made by a newer quorvelip-service (its layout is version " + std::to_string(version) +
         ", this one knows up to " + std::to_string(kStoreLayoutVersion) + ")";
}
