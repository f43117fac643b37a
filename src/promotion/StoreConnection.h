#pragma once

#include <string>

namespace vq {

// Points every store page at the store under base: products from
// GET <base>/store/lookup?id=N (a property list with "name", "seller" and
// "icon"), icons downloaded from their URLs. Callbacks come through
// HttpRequest's default executor (the main run loop).
void connectStorePages(std::string base);

} // namespace vq
