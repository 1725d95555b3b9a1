// vintrel: the window. Arguments are ignored.
#include "app/vintrel_main.hpp"
#include "pipeline/core_initialization.hpp"

int main() {
  SetEmbeddedResources(VintrelEmbeddedResources());
  AddEmbeddedResources(VintrelEmbeddedImages());
  return VintrelMain();
}
