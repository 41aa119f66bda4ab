#pragma once
// The GDI+ object layer: thin owning classes over the GDI+ flat interface. Every call goes
// through the declared-function table (win32/declared.h).
//
// Failure convention, shared by every class: each operation stores the GDI+ status in the one
// global lastStatus and returns true when it is Ok; operations that read a value return it (0
// when the call failed). Objects start unbound; a create operation binds them, Delete unbinds.
#include <cstdint>
#include <utility>

#include "win32/declared.h"

using Argb = Gdiplus::ARGB;  // 0xAARRGGBB
using PointF = Gdiplus::PointF;
using RectF = Gdiplus::RectF;
// A GDI+ object pointer, pointer-sized in both the 32-bit and the 64-bit build.
using GdiHandle = void*;

// The status of the last GDI+ call made by any object (Gdiplus::Ok = 0).
extern Gdiplus::Status lastStatus;

// Stores the status in lastStatus; true when it is Ok.
inline bool keepStatus(Gdiplus::Status status) {
  lastStatus = status;
  return status == Gdiplus::Ok;
}

// Base of the classes that own one GDI+ object.
//
// Not copyable: the destructor deletes the GDI+ object, so a copy sharing the handle would
// delete it twice or keep drawing with a freed one. The skin engine makes its objects for one
// paint and passes them by reference, so it never needs a copy. Moving hands the handle over.
class GdiObject {
 public:
  GdiObject() = default;
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  GdiObject& operator=(GdiObject&&) = delete;
  virtual ~GdiObject() = default;

  GdiHandle GetHandle() const { return handle_; }
  void SetHandle(GdiHandle value) {
    handle_ = value;
    SetNative(value);
  }
  void SetNative(GdiHandle value) { native_ = value; }
  GdiHandle native() const { return native_; }

  // Deletes the GDI+ object; false without calling GDI+ when the object is unbound.
  virtual bool Delete() = 0;

 protected:
  GdiObject(GdiObject&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)), native_(std::exchange(other.native_, nullptr)) {}

  template <typename T>
  T* nativeAs() const {
    return static_cast<T*>(native_);
  }
  // The handle of another object, as the GDI+ type the call expects (null when it is unbound).
  template <typename T>
  static T* handleOf(const GdiObject& object) {
    return static_cast<T*>(object.GetHandle());
  }

  // A create operation: any object still bound is deleted first, then the GDI+ call receives
  // the address of the new handle and the object binds to whatever it wrote.
  template <typename T, typename Call>
  bool create(Call&& call) {
    if (native_) Delete();
    T* created = nullptr;
    Gdiplus::Status status = call(&created);
    SetHandle(created);
    return keepStatus(status);
  }

  // Delete through the class's GDI+ delete function.
  template <typename T, typename DeleteFunction>
  bool deleteWith(DeleteFunction& deleteFunction) {
    if (!native_) return false;
    Gdiplus::Status status = deleteFunction(nativeAs<T>());
    SetHandle(nullptr);
    return keepStatus(status);
  }

 private:
  GdiHandle handle_ = nullptr;
  GdiHandle native_ = nullptr;
};
