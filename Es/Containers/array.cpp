#include "Es/Containers/array.hpp"

void ReportArrayIndexOutOfRange() { ReportCheckFailure("Es/Containers/array", 811, "Array index out of range"); }
