#pragma once

#include "Es/Containers/array.hpp"
#include "Es/Containers/mapStringToClass.hpp"
#include "Es/Strings/rString.hpp"

#include <cstdint>
#include <string>

class QIStream;
class QOStream;
class QFBank;

// A small C-like preprocessor for 8-bit text: #include, #define (object-like
// and function-like, with # and ##), #undef, #ifdef, #ifndef, #else, #endif,
// // and /* */ comments, backslash line continuation, string literals,
// __FILE__ and __LINE__. No #if, no arithmetic, no #error.
//
// An object runs once: build it, call Process, read ErrorNumber on failure.
// Input is untrusted: tokens, names and expansions are bounded, and a failure
// is an error number, never a crash.
class Preproc
{
public:
  // Error numbers (0: none; an unterminated conditional also fails with 0).
  enum ErrorNumber
  {
    ErrorNone = 0,
    ErrorCannotOpen = 1,          // a file cannot be opened
    ErrorIncludeSyntax = 2,       // #include not followed by a double quote or "<"
    ErrorDefineParameters = 4,    // parameter list of #define not closed
    ErrorElseEndif = 6,           // #else or #endif without #ifdef/#ifndef
    ErrorUnknownDirective = 7,    // unknown directive
    ErrorEndInArguments = 8,      // end of input inside macro arguments
    ErrorTooManyArguments = 9,    // too many macro arguments
    ErrorMissingArguments = 10,   // "(" missing after a function-like macro, or too few arguments
    ErrorIdentifierExpected = 11, // identifier missing after #ifdef, #ifndef or #undef
    ErrorBranchNotClosed = 12,    // second branch not closed by #endif
    ErrorExpansionRunaway = 13,   // macro expansion nested too deep or grown too large
  };

  // Longest token text (identifiers, include names); longer ones are cut.
  static constexpr int MaxTokenLength = 127;
  // Nested macro expansions allowed before ErrorExpansionRunaway.
  static constexpr int MaxExpansionDepth = 256;
  // Bytes one top-level macro use may produce before ErrorExpansionRunaway.
  static constexpr int MaxExpansionBytes = 1 << 24;
  // Files open at once (the first file included) before an include is refused.
  static constexpr int MaxIncludeDepth = 32;

  struct Symbol
  {
    RString name;
    const char *GetKey() const { return name; }
  };
  // A macro parameter and, during a call, the argument text bound to it.
  struct MacroParam : Symbol
  {
    RString text;
  };
  // A macro: name, body text (in MacroParam::text), parameters in order.
  struct DefineSymb : MacroParam
  {
    bool hasParameters = false;
    AutoArray<RString> parameters;
    // Above 0 while the macro's body is being expanded.
    int expanding = 0;
  };
  // The argument bindings of one macro call in progress; calls in progress
  // form a chain, newest first.
  struct MacTableList : MapStringToClass<MacroParam>
  {
    MacTableList *next = nullptr;
  };

  Preproc();
  Preproc(const Preproc &) = delete;
  Preproc &operator=(const Preproc &) = delete;
  virtual ~Preproc();

  // Runs the file into out (out may be null: the text is then read and
  // checked only). False on the first error; out holds what was written up
  // to then. A file that cannot be opened reports "Cannot include file %s".
  bool Process(QOStream *out, const char *fileName);

  int GetErrorNumber() const { return _error; }
  // Where the first error happened: the file on top of the include stack and
  // its line at that moment; an empty file when no source was open.
  const RString &GetErrorSource() const { return _errorSource; }
  int GetErrorLine() const { return _errorLine; }

protected:
  // Called each time a newline has been read.
  virtual void NewLine() {}
  // Opens an include (or the first file); null when it cannot be opened.
  virtual QIStream *OpenInclude(const char *name) = 0;
  virtual void CloseInclude(QIStream *stream) = 0;
  // The file and line to name in messages; an empty file when none is open.
  virtual RString CurrentSource(int &line) const
  {
    line = _line;
    return _fileName;
  }

  // Records the first error with the current source.
  void SetError(int error);

  QOStream *_out = nullptr;
  int _line = 0;
  RString _fileName;
  int _error = ErrorNone;
  RString _errorSource;
  int _errorLine = 0;
  MapStringToClass<DefineSymb> _macros;

  // For the include variants: writes text as a whole line of the output (a
  // line end goes first when the output does not stand at a line start).
  void WriteMarkerLine(const RString &text);
  // True once an error (or an unterminated conditional) has stopped the run.
  bool Failed() const { return _failed; }

private:
  // Expansion work is counted in bytes: every byte written, and a fixed
  // charge for each macro entered and each body token read, so expansions
  // that write little or nothing are bounded too.
  static constexpr int MacroEntryCost = 64;
  static constexpr int BodyTokenCost = 16;
  // Everything a run of all the top-level macro uses together may cost:
  // stops hostile input that stays just under MaxExpansionBytes per use.
  static constexpr std::int64_t MaxRunExpansionBytes = std::int64_t{MaxExpansionBytes} * 8;

  enum TokenKind
  {
    TkEnd,
    TkNewLine,
    TkContinuation,
    TkIdentifier,
    TkOther,
    TkOpen,
    TkClose,
    TkComma,
    TkHash,
    TkHashHash,
    TkQuote,
    TkLess,
    TkGreater,
    TkLineComment,
    TkBlockComment,
    // Directive words.
    TkInclude,
    TkDefine,
    TkUndef,
    TkIfdef,
    TkIfndef,
    TkElse,
    TkEndif,
  };
  struct Token
  {
    TokenKind kind = TkEnd;
    int length = 0;
    // Not cleared on construction: the reader fills it with each token.
    char text[MaxTokenLength + 1];
  };
  // Bytes a file's stream is read in at a time.
  static constexpr int ChunkSize = 1 << 14;
  // What the token reader reads: a file's stream or a macro body in memory,
  // with one character of look-ahead.
  struct Input
  {
    // The bytes not read yet: all of a macro body, or what is left of the
    // chunk last read from the stream into buffer (ChunkSize bytes).
    const char *cursor = nullptr;
    const char *limit = nullptr;
    QIStream *stream = nullptr;
    char *buffer = nullptr;
    // The character read ahead (NoChar when none). When it is a byte, it is
    // the one just before cursor: the bulk readers give it back that way.
    int peeked = -2;
    // A file: its newlines are told to NewLine, one character late, so the
    // line stays that of the newline's own line until the next is read.
    bool file = false;
    bool pendingNewLine = false;
    // Newlines swallowed (continuations, comments or arguments spanning
    // lines) since the last newline the main loop wrote.
    int swallowed = 0;
    // The argument bindings of the macro whose body this is.
    const MacTableList *params = nullptr;
  };
  struct Conditional
  {
    bool taken = false;
    bool second = false;
  };
  // Where the newlines of a block comment go.
  enum CommentNewLines
  {
    CommentWrites,   // main loop: written and counted at once
    CommentSwallows, // inside a directive or arguments: written at the line end
  };

  bool Run(const char *fileName);
  void ProcessStream(QIStream &stream);
  void Directive(int conditionalBase);
  void DoInclude();
  // The macro name after #define, #undef, #ifdef or #ifndef; false, with
  // the error set, when the next token is no identifier.
  bool ReadDirectiveName(Token &token);
  void DoDefine();
  void DoUndef();
  void DoIfdef(bool wantDefined);
  void DoElse(int conditionalBase);
  void DoEndif(int conditionalBase);
  void UpdateSkipping();
  void SkipDirectiveLine();
  void EndLine();

  void ExpandIdentifier(const Token &token);
  void ExpandMacro(DefineSymb &macro);
  bool CollectArguments(const DefineSymb &macro, MacTableList &bindings);
  void ExpandBody();
  void WriteQuoted(const Token &token);

  int ReadRaw();
  bool Refill(Input &in);
  int Peek();
  int Get();
  void Next(Token &token);
  void NextSignificant(Token &token);
  void SkipBlanks();
  void SkipLineComment();
  void SkipBlockComment(CommentNewLines newLines);
  bool CopyLiteral();

  // Bulk reading straight from _in's bytes, for the stretches where the
  // character-wise reader would only pass each byte on.
  bool Unpeek(Input &in);
  void Took(Input &in, const char *from, const char *to);
  void CopyPlainRun();
  void CopyLiteralRun();

  // A superset of the names ever defined, by first character and length
  // (lengths from 31 share a bit), so most identifiers need no table lookup.
  bool MayBeMacro(const char *name, int length) const
  {
    return (_macroNames[static_cast<unsigned char>(name[0]) & 127] >> (length < 31 ? length : 31)) & 1u;
  }
  void NoteMacroName(const char *name, int length)
  {
    _macroNames[static_cast<unsigned char>(name[0]) & 127] |= 1u << (length < 31 ? length : 31);
  }

  void Write(const char *data, int length);
  void Write(const RString &text) { Write(text.Data(), text.GetLength()); }
  std::int64_t WriteBudget() const;
  bool Charge(std::int64_t cost);

  Input *_in = nullptr;
  // Where expansion output goes while arguments are collected (null: _out).
  std::string *_capture = nullptr;
  // The newest macro call in progress.
  MacTableList *_calls = nullptr;
  AutoArray<Conditional> _conditionals;
  // Inside a conditional branch that is not taken: nothing is written.
  bool _skipping = false;
  bool _failed = false;
  bool _outAtLineStart = true;
  int _runDepth = 0;
  int _expansionDepth = 0;
  std::int64_t _expansionCost = 0;
  std::int64_t _runExpansionCost = 0;
  std::uint32_t _macroNames[128] = {};
};

// The part shared by the file and bank variants: the include stack (resolved
// name and current line of each open file), name resolution against the
// including file's folder, byte-order marks and #line markers.
class IncludingPreproc : public Preproc
{
public:
  explicit IncludingPreproc(bool lineMarkers) : _lineMarkers(lineMarkers) {}

protected:
  struct IncludeLevel
  {
    RString name;
    int line = 1;
  };

  void NewLine() override;
  QIStream *OpenInclude(const char *name) override;
  void CloseInclude(QIStream *stream) override;
  RString CurrentSource(int &line) const override;

  // Resolves name against the folder of the file on top of the stack.
  RString ResolveName(const char *name) const;
  virtual bool Exists(const char *resolved) = 0;
  // The raw stream of the resolved file, or null.
  virtual QIStream *OpenRaw(const char *resolved) = 0;

  bool _lineMarkers;
  AutoArray<IncludeLevel> _stack;
};

// Opens included files from the file system.
class FilePreprocessor : public IncludingPreproc
{
public:
  explicit FilePreprocessor(bool lineMarkers) : IncludingPreproc(lineMarkers) {}

protected:
  bool Exists(const char *resolved) override;
  QIStream *OpenRaw(const char *resolved) override;
};

// Opens included files from a data bank (not owned).
class BankPreprocessor : public IncludingPreproc
{
public:
  BankPreprocessor(QFBank &bank, bool lineMarkers) : IncludingPreproc(lineMarkers), _bank(bank) {}

protected:
  bool Exists(const char *resolved) override;
  QIStream *OpenRaw(const char *resolved) override;

private:
  QFBank &_bank;
};
