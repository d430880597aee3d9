#include "Es/Containers/compactBuf.hpp"

#include "Es/Framework/appFrame.hpp"

void ReportCompactBufferDelete()
{
  ReportCheckFailure("Es/Containers/compactBuf", 77, "delete: Should be never used.");
}
