#pragma once

#include "El/QStream/qOStream.hpp"
#include "El/QStream/qStream.hpp"
#include "Es/Containers/array.hpp"
#include "Es/Strings/rString.hpp"

#include <cstdint>

// A two-way binary serializer: it wraps either an input or an output stream,
// and the same transfer calls read a value from the input or write it to the
// output, so one routine describes a record in both directions. Values are
// little-endian; strings end with a zero byte; arrays start with a 32-bit
// count; blocks marked compressible of 1024 bytes or more are LZSS-packed.
//
// Errors never stop the transfers: the caller reads error() at the end.
class SerializeBinStream
{
public:
  enum ErrorCode
  {
    EOK = 0,
    EBadFileStructure = 4
  };

  explicit SerializeBinStream(QIStream *in);
  explicit SerializeBinStream(QOStream *out);
  SerializeBinStream(const SerializeBinStream &) = delete;
  SerializeBinStream &operator=(const SerializeBinStream &) = delete;

  bool IsLoading() const { return _in != nullptr; }
  bool IsSaving() const { return _out != nullptr; }
  int error() const { return _error; }
  void SetError(int error) { _error = error; }
  int version() const { return _version; }

  void transfer(std::int32_t &value);
  void transfer(std::uint32_t &value);
  void transfer(unsigned char &value);
  void transfer(char &value);
  void transfer(bool &value);
  // Reading takes bytes up to a zero byte; data that ends first is reported
  // ("EOF in string") and sets the error.
  void transfer(RString &value);
  // The file list's string reader: it also stops at a byte 255 (how a failed
  // read shows) and keeps what it read, without an error.
  void transferListString(RString &value);

  template <class Type> void transfer(AutoArray<Type> &array)
  {
    std::int32_t count = array.Size();
    transfer(count);
    if (IsLoading())
    {
      array.Clear();
      // The count comes from the data: elements are added as they are read,
      // so a lying count cannot reserve more than the data holds. An element
      // cut off by the end of the data is not added.
      for (std::int32_t i = 0; i < count && !_in->eof(); ++i)
      {
        Type element{};
        transferElement(element);
        if (_in->eof())
          break;
        array.Add(std::move(element));
      }
    }
    else
    {
      for (Type &element : array)
        transferElement(element);
    }
  }

  // Reading stores the value read as the version and answers whether it lies
  // in [min, max]; writing writes max and answers true.
  bool transferVersion(int min, int max);
  void transferBlock(void *data, int n, bool compressible);
  // Reading only: passes over a block written by transferBlock.
  void skipBlock(int n, bool compressible);

  QFileSize tellg();
  QFileSize tellp();
  void seekg(QFileSize position);
  void seekp(QFileSize position);
  // Writes 0xFFFFFFFF and answers where, for patch or patchHere later.
  QFileSize reservePlaceholder();
  void patch(QFileSize placeholder, std::int32_t value);
  // Writes the current output position into the placeholder.
  void patchHere(QFileSize placeholder);
  void readAhead(int n);

private:
  template <class Type> void transferElement(Type &element)
  {
    if constexpr (requires { element.SerializeBin(*this); })
      element.SerializeBin(*this);
    else
      transfer(element);
  }
  void TransferRaw(void *data, int n);

  QIStream *_in = nullptr;
  QOStream *_out = nullptr;
  int _error = EOK;
  int _version = -1;
  // Keeps the object's layout; nothing reads or writes it.
  [[maybe_unused]] int _reserved = 0;
};
