#pragma once

#include <utility>

// Intrusive reference count of every shared object of the stream library.
//
// The count starts at 0: the first holder takes it to 1, and the release that
// brings it back to 0 destroys the object. Counts are plain ints: an object
// and all its holders belong to one thread at a time.
class RefCount
{
public:
  RefCount() = default;
  // A copy is a new object: it starts without holders.
  RefCount(const RefCount &) {}
  RefCount &operator=(const RefCount &) { return *this; }
  virtual ~RefCount() = default;

  // A hook for derived classes, called when the last holder lets go, just
  // before Destroy; nothing here uses it.
  virtual void OnUnused() const {}
  virtual void Destroy() { delete this; }
  virtual double MemoryUsage() const { return 0; }

  int AddRef() const { return ++_count; }
  int Release() const
  {
    int count = --_count;
    if (count == 0)
    {
      OnUnused();
      const_cast<RefCount *>(this)->Destroy();
    }
    return count;
  }
  int RefCounter() const { return _count; }

private:
  mutable int _count = 0;
};

// Holder of a RefCount-derived object: adds a reference on copy, releases on
// reset and destruction.
template <class Type> class Ref
{
public:
  Ref() = default;
  Ref(Type *object) : _object(object) // NOLINT: implicit, taking a fresh object is the common use
  {
    if (_object)
      _object->AddRef();
  }
  Ref(const Ref &other) : Ref(other._object) {}
  Ref(Ref &&other) noexcept : _object(std::exchange(other._object, nullptr)) {}
  template <class Other>
  Ref(const Ref<Other> &other) : Ref(other.GetRef()) // NOLINT: implicit like a pointer conversion
  {
  }
  ~Ref() { Free(); }

  Ref &operator=(const Ref &other)
  {
    // The new object is taken before the old one is let go: assigning an
    // object to the holder that keeps it alive must not destroy it.
    Type *old = _object;
    _object = other._object;
    if (_object)
      _object->AddRef();
    if (old)
      old->Release();
    return *this;
  }
  Ref &operator=(Ref &&other) noexcept
  {
    if (this != &other)
    {
      Free();
      _object = std::exchange(other._object, nullptr);
    }
    return *this;
  }

  void Free()
  {
    if (Type *object = std::exchange(_object, nullptr))
      object->Release();
  }

  Type *GetRef() const { return _object; }
  Type *operator->() const { return _object; }
  Type &operator*() const { return *_object; }
  bool IsNull() const { return _object == nullptr; }
  explicit operator bool() const { return _object != nullptr; }

private:
  Type *_object = nullptr;
};
