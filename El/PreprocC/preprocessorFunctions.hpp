#pragma once

class QOStream;
class QFBank;

// The hook through which the stringtable asks for a file to be preprocessed.
// This base implementation does no preprocessing: it copies the file (or
// bank member) to the output unchanged. Programs that want the text
// preprocessor install a CPreprocessorFunctions.
class PreprocessorFunctions
{
public:
  virtual ~PreprocessorFunctions() = default;
  // Reads name from the bank; false when it cannot be read (or processed).
  virtual bool Preprocess(QOStream &out, QFBank &bank, const char *name, bool lineMarkers);
  // Reads name from the file system; false when it cannot be read (or processed).
  virtual bool Preprocess(QOStream &out, const char *name, bool lineMarkers);
};

// Runs the text preprocessor; on failure reports "Preprocessor failed on file
// %s - error %d (source %s, line %d)." (or the short form without a known
// source) on the error channel.
class CPreprocessorFunctions : public PreprocessorFunctions
{
public:
  bool Preprocess(QOStream &out, QFBank &bank, const char *name, bool lineMarkers) override;
  bool Preprocess(QOStream &out, const char *name, bool lineMarkers) override;
};

// The process-wide hook (the copying base implementation until one is set).
PreprocessorFunctions *GPreprocessorFunctions();
// Installs hook (null restores the base implementation); answers the previous one.
PreprocessorFunctions *SetPreprocessorFunctions(PreprocessorFunctions *hook);
