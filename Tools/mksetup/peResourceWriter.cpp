#include "Tools/mksetup/peResources.hpp"
