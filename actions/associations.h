#pragma once
// File types associated with the product.

namespace palisade {

// Associates each extension of the association list.
void AssociateFiles();

}  // namespace palisade
