#include "El/PreprocC/preprocC.hpp"

#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

namespace
{
constexpr int EndOfInput = -1;
constexpr int NoChar = -2;

// What a byte is to the bulk readers.
enum CharClass : unsigned char
{
  CharIdentifierStart = 1,
  CharIdentifier = 2,
  // Ends a run of plain text in the main loop: a newline, the start of a
  // literal, a comment or a continuation, and the dropped carriage return.
  CharEndsPlain = 4,
  // Ends a run inside a string literal.
  CharEndsLiteral = 8,
};

constexpr std::array<unsigned char, 256> MakeCharClasses()
{
  std::array<unsigned char, 256> classes{};
  for (int c = 0; c < 256; ++c)
  {
    bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    unsigned char bits = 0;
    if (start)
      bits |= CharIdentifierStart;
    if (start || (c >= '0' && c <= '9'))
      bits |= CharIdentifier;
    if (c == '\n' || c == '\r' || c == '"' || c == '/' || c == '\\')
      bits |= CharEndsPlain;
    if (c == '\n' || c == '\r' || c == '"' || c == '\\')
      bits |= CharEndsLiteral;
    classes[static_cast<std::size_t>(c)] = bits;
  }
  return classes;
}

constexpr std::array<unsigned char, 256> CharClasses = MakeCharClasses();

bool HasClass(unsigned char c, unsigned char bits) { return (CharClasses[c] & bits) != 0; }

// These take EndOfInput and NoChar too.
bool IsIdentifierStart(int c) { return c >= 0 && HasClass(static_cast<unsigned char>(c), CharIdentifierStart); }
bool IsIdentifierChar(int c) { return c >= 0 && HasClass(static_cast<unsigned char>(c), CharIdentifier); }
bool IsBlank(int c) { return c == ' ' || c == '\t'; }

struct DirectiveWord
{
  const char *text;
  int kind;
};

bool TextIs(const char *text, int length, const char *word)
{
  return static_cast<int>(std::strlen(word)) == length &&
         std::memcmp(text, word, static_cast<std::size_t>(length)) == 0;
}

// The argument text without the blanks around it.
RString Trimmed(const std::string &text)
{
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(static_cast<unsigned char>(text[begin])))
    ++begin;
  while (end > begin && IsBlank(static_cast<unsigned char>(text[end - 1])))
    --end;
  return RString(text.data() + begin, static_cast<int>(end - begin));
}

void TrimTrailingBlanks(std::string &text)
{
  while (!text.empty() && IsBlank(static_cast<unsigned char>(text.back())))
    text.pop_back();
}
} // namespace

Preproc::Preproc()
{
  // __FILE__ and __LINE__ are expanded without a definition: the bulk reader
  // must leave them to the tokenizer too.
  NoteMacroName("__FILE__", 8);
}
Preproc::~Preproc() = default;

bool Preproc::Process(QOStream *out, const char *fileName)
{
  _out = out;
  _line = 0;
  _fileName = RString();
  _error = ErrorNone;
  _failed = false;
  _errorSource = RString();
  _errorLine = 0;
  _conditionals.Clear();
  _skipping = false;
  _outAtLineStart = true;
  _runDepth = 0;
  _expansionDepth = 0;
  _runExpansionCost = 0;
  _in = nullptr;
  _capture = nullptr;
  _calls = nullptr;
  return Run(fileName ? fileName : "");
}

void Preproc::SetError(int error)
{
  if (_failed)
    return;
  _failed = true;
  _error = error;
  _errorSource = CurrentSource(_errorLine);
}

void Preproc::WriteMarkerLine(const RString &text)
{
  if (!_out)
    return;
  if (!_outAtLineStart)
    _out->put('\n');
  _out->write(text.Data(), static_cast<QFileSize>(text.GetLength()));
  _out->put('\n');
  _outAtLineStart = true;
}

// Runs one file, the first or an included one, into the current output.
bool Preproc::Run(const char *fileName)
{
  // The depth is checked here as well as in any include stack, so a variant
  // that keeps none still cannot recurse without bound.
  QIStream *stream = _runDepth < MaxIncludeDepth ? OpenInclude(fileName) : nullptr;
  if (!stream)
  {
    ErrorMessageF("Cannot include file %s", fileName);
    SetError(ErrorCannotOpen);
    return false;
  }
  _fileName = fileName;
  // The line counter starts cleared, and the stream as if after a newline,
  // which counts: the first line is line 1.
  _line = 1;
  ++_runDepth;
  ProcessStream(*stream);
  --_runDepth;
  CloseInclude(stream);
  return !_failed;
}

// --- characters and tokens --------------------------------------------------

// Reads the next chunk of a file into its buffer; false at the end of the
// data, and always for a macro body.
bool Preproc::Refill(Input &in)
{
  if (!in.stream)
    return false;
  int got = in.stream->read(in.buffer, ChunkSize);
  in.cursor = in.buffer;
  in.limit = in.buffer + (got > 0 ? got : 0);
  return got > 0;
}

inline int Preproc::ReadRaw()
{
  Input &in = *_in;
  for (;;)
  {
    if (in.cursor == in.limit && !Refill(in))
      return EndOfInput;
    int c = static_cast<unsigned char>(*in.cursor++);
    // Carriage returns are dropped everywhere.
    if (c != '\r')
      return c;
  }
}

inline int Preproc::Peek()
{
  Input &in = *_in;
  if (in.peeked == NoChar)
    in.peeked = ReadRaw();
  return in.peeked;
}

inline int Preproc::Get()
{
  int c = Peek();
  Input &in = *_in;
  in.peeked = NoChar;
  if (in.file && c != EndOfInput)
  {
    if (in.pendingNewLine)
    {
      in.pendingNewLine = false;
      NewLine();
    }
    if (c == '\n')
      in.pendingNewLine = true;
  }
  return c;
}

// Before bytes are taken from the cursor directly: a character read ahead
// goes back (ReadRaw left it just before the cursor). False when the input
// has ended.
bool Preproc::Unpeek(Input &in)
{
  if (in.peeked == EndOfInput)
    return false;
  if (in.peeked != NoChar)
  {
    --in.cursor;
    in.peeked = NoChar;
  }
  return true;
}

// The bytes from..to have been taken directly: the first that Get would
// have returned (any but a carriage return) tells a pending newline, as Get
// does.
void Preproc::Took(Input &in, const char *from, const char *to)
{
  if (!in.pendingNewLine)
    return;
  for (; from != to; ++from)
    if (*from != '\r')
    {
      in.pendingNewLine = false;
      NewLine();
      return;
    }
}

void Preproc::Next(Token &token)
{
  static const DirectiveWord words[] = {
      {"include", TkInclude}, {"define", TkDefine}, {"undef", TkUndef}, {"ifdef", TkIfdef},
      {"ifndef", TkIfndef},   {"else", TkElse},     {"endif", TkEndif},
  };

  int c = Get();
  token.length = 0;
  token.text[0] = '\0';
  if (c == EndOfInput)
  {
    token.kind = TkEnd;
    return;
  }
  token.text[0] = static_cast<char>(c);
  token.text[1] = '\0';
  token.length = 1;
  switch (c)
  {
  case '\n':
    token.kind = TkNewLine;
    return;
  case '(':
    token.kind = TkOpen;
    return;
  case ')':
    token.kind = TkClose;
    return;
  case ',':
    token.kind = TkComma;
    return;
  case '"':
    token.kind = TkQuote;
    return;
  case '<':
    token.kind = TkLess;
    return;
  case '>':
    token.kind = TkGreater;
    return;
  case '#':
    token.kind = TkHash;
    if (Peek() == '#')
    {
      Get();
      token.kind = TkHashHash;
      token.text[1] = '#';
      token.text[2] = '\0';
      token.length = 2;
    }
    return;
  case '/':
    token.kind = TkOther;
    if (Peek() == '/' || Peek() == '*')
    {
      token.kind = Peek() == '/' ? TkLineComment : TkBlockComment;
      token.text[1] = static_cast<char>(Get());
      token.text[2] = '\0';
      token.length = 2;
    }
    return;
  case '\\':
    token.kind = TkOther;
    if (Peek() == '\n')
    {
      Get();
      token.kind = TkContinuation;
      token.length = 0;
      token.text[0] = '\0';
      ++_in->swallowed;
    }
    return;
  default:
    break;
  }
  if (!IsIdentifierStart(c))
  {
    token.kind = TkOther;
    return;
  }
  // An identifier longer than the token holds is cut, and the rest of it is
  // consumed with it rather than read as a new identifier.
  int length = 1;
  while (IsIdentifierChar(Peek()))
  {
    int next = Get();
    if (length < MaxTokenLength)
      token.text[length++] = static_cast<char>(next);
  }
  token.text[length] = '\0';
  token.length = length;
  token.kind = TkIdentifier;
  if (length >= 4 && length <= 7)
    for (const DirectiveWord &word : words)
      if (word.text[0] == token.text[0] && TextIs(token.text, length, word.text))
        token.kind = static_cast<TokenKind>(word.kind);
}

void Preproc::NextSignificant(Token &token)
{
  do
    Next(token);
  while (token.kind == TkContinuation);
}

void Preproc::SkipBlanks()
{
  while (IsBlank(Peek()))
    Get();
}

// "//": up to the end of the line; the newline stays.
void Preproc::SkipLineComment()
{
  Input &in = *_in;
  if (!Unpeek(in))
    return;
  for (;;)
  {
    const char *from = in.cursor;
    const void *newLine = std::memchr(from, '\n', static_cast<std::size_t>(in.limit - from));
    const char *to = newLine ? static_cast<const char *>(newLine) : in.limit;
    Took(in, from, to);
    in.cursor = to;
    if (newLine || !Refill(in))
      return;
  }
}

// "/*" has been read: up to and including the matching "*/".
void Preproc::SkipBlockComment(CommentNewLines newLines)
{
  int previous = 0;
  for (;;)
  {
    int c = Get();
    if (c == EndOfInput)
      return;
    if (previous == '*' && c == '/')
      return;
    if (c == '\n')
    {
      if (newLines == CommentWrites)
      {
        Write("\n", 1);
        ++_line;
      }
      else if (_in->file)
        ++_in->swallowed;
    }
    previous = c;
  }
}

// The opening double quote has been read: writes the literal unchanged up to
// and including the closing one. False when the input ended first.
bool Preproc::CopyLiteral()
{
  Write("\"", 1);
  while (!_failed)
  {
    CopyLiteralRun();
    int c = Get();
    if (c == EndOfInput)
      return false;
    if (c == '\\' && Peek() == '\n')
    {
      Get();
      ++_in->swallowed;
      continue;
    }
    char byte = static_cast<char>(c);
    Write(&byte, 1);
    if (c == '"')
      return true;
    if (c == '\n')
      ++_line;
  }
  return false;
}

// Inside a literal: copies the bytes that CopyLiteral would copy one by one
// (no quote, backslash or newline; carriage returns dropped) in one go. No
// more are copied than the expansion budget allows, so a runaway is left to
// fail on the very byte where the character-wise copy fails.
void Preproc::CopyLiteralRun()
{
  Input &in = *_in;
  if (!Unpeek(in))
    return;
  for (;;)
  {
    const char *from = in.cursor;
    std::int64_t budget = WriteBudget();
    const char *end = budget < in.limit - from ? from + budget : in.limit;
    const char *to = from;
    while (to != end && !HasClass(static_cast<unsigned char>(*to), CharEndsLiteral))
      ++to;
    if (to != from)
    {
      Took(in, from, to);
      in.cursor = to;
      Write(from, static_cast<int>(to - from));
    }
    if (to == in.limit)
    {
      if (!Refill(in))
        return;
    }
    else if (to != end && *to == '\r')
      in.cursor = to + 1;
    else
      return;
  }
}

// The main loop, outside a line start: copies plain text in one go, up to a
// byte that needs the tokenizer. Identifiers go along when they cannot be a
// macro (or nothing is expanded); one that may be, or that is cut, joined
// across a carriage return or split by the chunk's end, is left to it.
void Preproc::CopyPlainRun()
{
  Input &in = *_in;
  if (!Unpeek(in))
    return;
  for (;;)
  {
    const char *from = in.cursor;
    const char *limit = in.limit;
    const char *to = from;
    while (to != limit)
    {
      unsigned char c = static_cast<unsigned char>(*to);
      if (HasClass(c, CharEndsPlain))
        break;
      if (!HasClass(c, CharIdentifierStart))
      {
        ++to;
        continue;
      }
      const char *end = to + 1;
      while (end != limit && HasClass(static_cast<unsigned char>(*end), CharIdentifier))
        ++end;
      if (end == limit || *end == '\r' || end - to > MaxTokenLength ||
          (!_skipping && MayBeMacro(to, static_cast<int>(end - to))))
        break;
      to = end;
    }
    if (to != from)
    {
      Took(in, from, to);
      in.cursor = to;
      Write(from, static_cast<int>(to - from));
    }
    if (to == limit)
    {
      if (!Refill(in))
        return;
    }
    else if (*to == '\r')
      in.cursor = to + 1;
    else
      return;
  }
}

// --- output -----------------------------------------------------------------

void Preproc::Write(const char *data, int length)
{
  if (length <= 0 || _skipping)
    return;
  if (_expansionDepth > 0 && !Charge(length))
    return;
  if (_capture)
    _capture->append(data, static_cast<std::size_t>(length));
  else if (_out)
  {
    if (length == 1)
      _out->put(data[0]);
    else
      _out->write(data, static_cast<QFileSize>(length));
    _outAtLineStart = data[length - 1] == '\n';
  }
}

// How many bytes Write takes now without running away.
std::int64_t Preproc::WriteBudget() const
{
  if (_skipping || _expansionDepth == 0)
    return INT_MAX;
  std::int64_t budget = std::min(MaxExpansionBytes - _expansionCost, MaxRunExpansionBytes - _runExpansionCost);
  return budget > 0 ? budget : 0;
}

// Counts the work of one top-level macro use; false, with error 13, when it
// runs away.
bool Preproc::Charge(std::int64_t cost)
{
  _expansionCost += cost;
  _runExpansionCost += cost;
  if (_expansionCost > MaxExpansionBytes || _runExpansionCost > MaxRunExpansionBytes)
  {
    SetError(ErrorExpansionRunaway);
    return false;
  }
  return true;
}

// --- main loop --------------------------------------------------------------

void Preproc::ProcessStream(QIStream &stream)
{
  std::unique_ptr<char[]> buffer(new char[ChunkSize]);
  Input input;
  input.stream = &stream;
  input.buffer = buffer.get();
  input.cursor = input.limit = input.buffer;
  input.file = true;
  Input *outer = _in;
  _in = &input;
  int conditionalBase = _conditionals.Size();

  Token token;
  bool lineStart = true;
  while (!_failed)
  {
    if (lineStart)
    {
      // Leading spaces and tabs never reach the output; "#" there (and only
      // there) starts a directive ("##" does not).
      lineStart = false;
      SkipBlanks();
      if (Peek() == '#')
      {
        Next(token);
        if (token.kind == TkHash)
        {
          Directive(conditionalBase);
          continue;
        }
      }
      else
      {
        CopyPlainRun();
        Next(token);
      }
    }
    else
    {
      CopyPlainRun();
      Next(token);
    }

    if (token.kind == TkEnd)
      break;
    switch (token.kind)
    {
    case TkNewLine:
      EndLine();
      lineStart = true;
      break;
    case TkContinuation:
      break;
    case TkQuote:
      CopyLiteral();
      break;
    case TkLineComment:
      SkipLineComment();
      break;
    case TkBlockComment:
      SkipBlockComment(CommentWrites);
      break;
    case TkIdentifier:
      // A branch not taken is only read: nothing in it is expanded.
      if (!_skipping)
        ExpandIdentifier(token);
      break;
    default:
      Write(token.text, token.length);
      break;
    }
  }

  if (!_failed && _conditionals.Size() > conditionalBase)
  {
    // End of input in a first branch fails without an error number; in a
    // second branch it is a branch not closed by #endif.
    if (_conditionals[_conditionals.Size() - 1].second)
      SetError(ErrorBranchNotClosed);
    else
      SetError(ErrorNone);
  }
  if (_conditionals.Size() > conditionalBase)
    _conditionals.Delete(conditionalBase, _conditionals.Size() - conditionalBase);
  UpdateSkipping();
  _in = outer;
}

// A newline outside string literals: first the newlines swallowed on the
// line, so output lines keep their numbers, then the newline itself.
void Preproc::EndLine()
{
  int swallowed = _in->swallowed;
  _in->swallowed = 0;
  for (int i = 0; i < swallowed && !_failed; ++i)
    Write("\n", 1);
  _line += swallowed + 1;
  Write("\n", 1);
}

// --- directives -------------------------------------------------------------

void Preproc::Directive(int conditionalBase)
{
  SkipBlanks();
  Token word;
  NextSignificant(word);
  switch (word.kind)
  {
  case TkElse:
    DoElse(conditionalBase);
    return;
  case TkEndif:
    DoEndif(conditionalBase);
    return;
  case TkInclude:
  case TkDefine:
  case TkUndef:
  case TkIfdef:
  case TkIfndef:
    // Inside a branch not taken these are passed over, so conditionals
    // nested there are not tracked: the first #else or #endif ends the
    // branch.
    if (_skipping)
    {
      SkipDirectiveLine();
      return;
    }
    break;
  default:
    SetError(ErrorUnknownDirective);
    return;
  }
  switch (word.kind)
  {
  case TkInclude:
    DoInclude();
    break;
  case TkDefine:
    DoDefine();
    break;
  case TkUndef:
    DoUndef();
    break;
  case TkIfdef:
    DoIfdef(true);
    break;
  default:
    DoIfdef(false);
    break;
  }
}

// The rest of a directive passed over in a branch not taken, up to its
// newline (which stays); a block comment opened there is skipped whole.
void Preproc::SkipDirectiveLine()
{
  Token token;
  while (!_failed && Peek() != '\n' && Peek() != EndOfInput)
  {
    Next(token);
    if (token.kind == TkBlockComment)
      SkipBlockComment(CommentWrites);
    else if (token.kind == TkLineComment)
      SkipLineComment();
  }
}

void Preproc::DoInclude()
{
  SkipBlanks();
  Token token;
  NextSignificant(token);
  if (token.kind != TkQuote && token.kind != TkLess)
  {
    SetError(ErrorIncludeSyntax);
    return;
  }
  int close = token.kind == TkQuote ? '"' : '>';
  // The name ends at the closing character (or the line's end); what does
  // not fit the token is read and dropped.
  char name[MaxTokenLength + 1];
  int length = 0;
  for (;;)
  {
    int c = Peek();
    if (c == EndOfInput || c == '\n')
      break;
    Get();
    if (c == close)
      break;
    if (length < MaxTokenLength)
      name[length++] = static_cast<char>(c);
  }
  name[length] = '\0';

  int line = _line;
  RString fileName = _fileName;
  Run(name);
  _line = line;
  _fileName = fileName;
}

bool Preproc::ReadDirectiveName(Token &token)
{
  SkipBlanks();
  NextSignificant(token);
  // Only identifiers name macros.
  if (token.kind == TkIdentifier)
    return true;
  SetError(ErrorIdentifierExpected);
  return false;
}

void Preproc::DoDefine()
{
  Token token;
  if (!ReadDirectiveName(token))
    return;
  DefineSymb macro;
  macro.name = RString(token.text, token.length);

  // "(" directly after the name: the parameter list.
  if (Peek() == '(')
  {
    Get();
    macro.hasParameters = true;
    bool expectName = true;
    for (;;)
    {
      SkipBlanks();
      NextSignificant(token);
      if (expectName && token.kind == TkIdentifier)
      {
        macro.parameters.Add(RString(token.text, token.length));
        expectName = false;
      }
      else if (!expectName && token.kind == TkComma)
        expectName = true;
      else if (token.kind == TkClose && (!expectName || macro.parameters.Empty()))
        break;
      else
      {
        SetError(ErrorDefineParameters);
        return;
      }
    }
  }

  // The body: the rest of the line without continuations and comments. The
  // blanks around it, and those around "##" and after "#", are left out.
  std::string body;
  bool skipBlanks = true;
  while (!_failed)
  {
    int c = Peek();
    if (c == '\n' || c == EndOfInput)
      break;
    if (skipBlanks && IsBlank(c))
    {
      Get();
      continue;
    }
    Next(token);
    switch (token.kind)
    {
    case TkContinuation:
      continue;
    case TkLineComment:
      SkipLineComment();
      continue;
    case TkBlockComment:
      SkipBlockComment(CommentSwallows);
      continue;
    case TkQuote:
      // A string literal is kept as it is; it ends with the line at the latest.
      body += '"';
      for (;;)
      {
        int d = Peek();
        if (d == '\n' || d == EndOfInput)
          break;
        Get();
        if (d == '\\' && Peek() == '\n')
        {
          Get();
          ++_in->swallowed;
          continue;
        }
        body += static_cast<char>(d);
        if (d == '"')
          break;
      }
      break;
    case TkHashHash:
      TrimTrailingBlanks(body);
      body += "##";
      skipBlanks = true;
      continue;
    case TkHash:
      body += '#';
      skipBlanks = true;
      continue;
    default:
      body.append(token.text, static_cast<std::size_t>(token.length));
      break;
    }
    skipBlanks = false;
  }
  if (_failed)
    return;
  TrimTrailingBlanks(body);
  macro.text = RString(body.data(), static_cast<int>(body.size()));

  // A previous definition is replaced. No expansion is in progress here, so
  // no pointer into the table is held across the change.
  NoteMacroName(macro.name.Data(), macro.name.GetLength());
  _macros.Remove(macro.name);
  _macros.Add(std::move(macro));
}

void Preproc::DoUndef()
{
  Token token;
  if (!ReadDirectiveName(token))
    return;
  _macros.Remove(token.text);
}

void Preproc::DoIfdef(bool wantDefined)
{
  Token token;
  if (!ReadDirectiveName(token))
    return;
  Conditional conditional;
  conditional.taken = (_macros.Find(token.text) != nullptr) == wantDefined;
  _conditionals.Add(conditional);
  UpdateSkipping();
}

void Preproc::DoElse(int conditionalBase)
{
  if (_conditionals.Size() <= conditionalBase)
  {
    SetError(ErrorElseEndif);
    return;
  }
  Conditional &top = _conditionals[_conditionals.Size() - 1];
  if (top.second)
  {
    SetError(ErrorBranchNotClosed);
    return;
  }
  top.second = true;
  top.taken = !top.taken;
  UpdateSkipping();
}

void Preproc::DoEndif(int conditionalBase)
{
  if (_conditionals.Size() <= conditionalBase)
  {
    SetError(ErrorElseEndif);
    return;
  }
  _conditionals.Delete(_conditionals.Size() - 1);
  UpdateSkipping();
}

// Conditionals are entered only where output is on, so the innermost one
// alone decides.
void Preproc::UpdateSkipping() { _skipping = !_conditionals.Empty() && !_conditionals[_conditionals.Size() - 1].taken; }

// --- macro expansion --------------------------------------------------------

void Preproc::ExpandIdentifier(const Token &token)
{
  bool predefined = token.length == 8 && token.text[0] == '_' && token.text[1] == '_';
  if (predefined && TextIs(token.text, token.length, "__FILE__"))
  {
    Write("\"", 1);
    Write(_fileName);
    Write("\"", 1);
    return;
  }
  if (predefined && TextIs(token.text, token.length, "__LINE__"))
  {
    char number[16];
    int length = std::snprintf(number, sizeof number, "%d", _line);
    Write(number, length);
    return;
  }
  if (_in->params)
  {
    if (const MacroParam *param = _in->params->Find(token.text))
    {
      Write(param->text);
      return;
    }
  }
  DefineSymb *macro = MayBeMacro(token.text, token.length) ? _macros.Find(token.text) : nullptr;
  // A macro is never expanded inside its own expansion.
  if (!macro || macro->expanding > 0)
  {
    Write(token.text, token.length);
    return;
  }
  ExpandMacro(*macro);
}

// The table is not changed while a macro is expanded (directives are read by
// the main loop only), so the reference into it stays valid throughout.
void Preproc::ExpandMacro(DefineSymb &macro)
{
  if (_expansionDepth >= MaxExpansionDepth)
  {
    SetError(ErrorExpansionRunaway);
    return;
  }
  if (_expansionDepth == 0)
    _expansionCost = 0;
  ++_expansionDepth;

  MacTableList bindings;
  bool ready = Charge(MacroEntryCost);
  if (ready && macro.hasParameters)
  {
    SkipBlanks();
    Token token;
    NextSignificant(token);
    if (token.kind != TkOpen)
    {
      SetError(ErrorMissingArguments);
      ready = false;
    }
    else
      ready = CollectArguments(macro, bindings);
  }
  if (ready)
  {
    RString text = macro.text;
    Input body;
    body.cursor = text.Data();
    body.limit = body.cursor + text.GetLength();
    body.params = macro.hasParameters ? &bindings : nullptr;
    Input *caller = _in;
    _in = &body;
    bindings.next = _calls;
    MacTableList *outerCalls = _calls;
    if (macro.hasParameters)
      _calls = &bindings;
    ++macro.expanding;
    ExpandBody();
    --macro.expanding;
    _calls = outerCalls;
    _in = caller;
  }
  --_expansionDepth;
}

// "(" has been read: collects the arguments up to the ")" that closes the
// call, expanding the identifiers in them, and binds them to the parameters.
bool Preproc::CollectArguments(const DefineSymb &macro, MacTableList &bindings)
{
  std::string argument;
  std::string *outerCapture = _capture;
  _capture = &argument;

  int count = 0;
  bool comma = false;
  int depth = 0;
  bool closed = false;
  auto bind = [&]()
  {
    if (count >= macro.parameters.Size())
    {
      SetError(ErrorTooManyArguments);
      return false;
    }
    MacroParam param;
    param.name = macro.parameters[count++];
    param.text = Trimmed(argument);
    bindings.Add(std::move(param));
    argument.clear();
    return true;
  };

  Token token;
  while (!_failed && !closed)
  {
    Next(token);
    switch (token.kind)
    {
    case TkEnd:
      SetError(ErrorEndInArguments);
      break;
    case TkContinuation:
      break;
    case TkNewLine:
      // Arguments may span lines; the newlines are written at the line end.
      Write(" ", 1);
      if (_in->file)
        ++_in->swallowed;
      break;
    case TkLineComment:
      SkipLineComment();
      break;
    case TkBlockComment:
      SkipBlockComment(CommentSwallows);
      break;
    case TkQuote:
      if (!CopyLiteral())
        SetError(ErrorEndInArguments);
      break;
    case TkOpen:
      ++depth;
      Write(token.text, token.length);
      break;
    case TkClose:
      if (depth > 0)
      {
        --depth;
        Write(token.text, token.length);
        break;
      }
      // "()" is a call without arguments.
      if (count > 0 || comma || !Trimmed(argument).IsEmpty())
        bind();
      closed = true;
      break;
    case TkComma:
      if (depth > 0)
      {
        Write(token.text, token.length);
        break;
      }
      comma = true;
      bind();
      break;
    case TkIdentifier:
      ExpandIdentifier(token);
      break;
    default:
      Write(token.text, token.length);
      break;
    }
  }
  _capture = outerCapture;
  if (_failed)
    return false;
  if (count < macro.parameters.Size())
  {
    SetError(ErrorMissingArguments);
    return false;
  }
  return true;
}

// Reads the body in _in again as tokens.
void Preproc::ExpandBody()
{
  Token token;
  bool stringize = false;
  while (!_failed)
  {
    Next(token);
    if (token.kind == TkEnd || !Charge(BodyTokenCost))
      return;
    switch (token.kind)
    {
    case TkHash:
      stringize = true;
      continue;
    case TkHashHash:
      // Not written, so its neighbours join.
      stringize = false;
      continue;
    case TkQuote:
      CopyLiteral();
      break;
    case TkIdentifier:
      if (stringize)
        WriteQuoted(token);
      else
        ExpandIdentifier(token);
      break;
    default:
      Write(token.text, token.length);
      break;
    }
    stringize = false;
  }
}

// An identifier directly after "#" in a body: its argument text (or, for
// other identifiers, the identifier) in double quotes.
void Preproc::WriteQuoted(const Token &token)
{
  Write("\"", 1);
  const MacroParam *param = _in->params ? _in->params->Find(token.text) : nullptr;
  if (param)
    Write(param->text);
  else
    Write(token.text, token.length);
  Write("\"", 1);
}
