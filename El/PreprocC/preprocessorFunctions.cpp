#include "El/PreprocC/preprocessorFunctions.hpp"

#include "El/PreprocC/preprocC.hpp"
#include "El/QStream/qOStream.hpp"
#include "El/QStream/qbStream.hpp"
#include "Es/Common/neverDestroyed.hpp"
#include "Es/Framework/appFrame.hpp"

namespace
{
// Runs the preprocessor; on failure names the file, the error and, when one
// was open, the source and line where it happened.
bool RunPreprocessor(Preproc &preprocessor, QOStream &out, const char *name)
{
  if (preprocessor.Process(&out, name))
    return true;
  const RString &source = preprocessor.GetErrorSource();
  if (!source.IsEmpty())
    ErrorMessageF("Preprocessor failed on file %s - error %d (source %s, line %d).", name,
                  preprocessor.GetErrorNumber(), source.Data(), preprocessor.GetErrorLine());
  else
    ErrorMessageF("Preprocessor failed on file %s - error %d.", name, preprocessor.GetErrorNumber());
  return false;
}

constinit NeverDestroyed<PreprocessorFunctions> defaultFunctions;
constinit PreprocessorFunctions *currentFunctions = &defaultFunctions.value;
} // namespace

bool PreprocessorFunctions::Preprocess(QOStream &out, QFBank &bank, const char *name, bool lineMarkers)
{
  (void)lineMarkers;
  QIFStreamB in;
  if (!in.openInBank(bank, name))
    return false;
  in.copyTo(out);
  return true;
}

bool PreprocessorFunctions::Preprocess(QOStream &out, const char *name, bool lineMarkers)
{
  (void)lineMarkers;
  QIFStream in;
  in.open(name);
  if (in.fail())
    return false;
  in.copyTo(out);
  return true;
}

bool CPreprocessorFunctions::Preprocess(QOStream &out, QFBank &bank, const char *name, bool lineMarkers)
{
  BankPreprocessor preprocessor(bank, lineMarkers);
  return RunPreprocessor(preprocessor, out, name);
}

bool CPreprocessorFunctions::Preprocess(QOStream &out, const char *name, bool lineMarkers)
{
  FilePreprocessor preprocessor(lineMarkers);
  return RunPreprocessor(preprocessor, out, name);
}

PreprocessorFunctions *GPreprocessorFunctions() { return currentFunctions; }

PreprocessorFunctions *SetPreprocessorFunctions(PreprocessorFunctions *hook)
{
  PreprocessorFunctions *previous = currentFunctions;
  currentFunctions = hook ? hook : &defaultFunctions.value;
  return previous;
}
