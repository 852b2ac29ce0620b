// Probes of the compiled layout of a class (Itanium C++ ABI): the virtual-table slot of
// a member function and the byte offset of a data member. The engine reaches classes
// by slot and by offset, so tests hold both orders to what the headers document.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// A pointer to a virtual member function holds 1 + the byte offset of its slot.
template <class F>
long SlotOf(F function) {
  struct {
    uintptr_t pointer;
    ptrdiff_t adjust;
  } representation;
  static_assert(sizeof function == sizeof representation);
  std::memcpy(&representation, &function, sizeof representation);
  if ((representation.pointer & 1) == 0) return -1;  // not virtual
  return static_cast<long>((representation.pointer - 1) / sizeof(void*));
}

// A pointer to a data member holds the member's byte offset.
template <class C, class T>
ptrdiff_t OffsetOf(T C::*member) {
  ptrdiff_t offset;
  static_assert(sizeof member == sizeof offset);
  std::memcpy(&offset, &member, sizeof offset);
  return offset;
}

struct Slot {
  const char* name;
  long slot;
};

inline void ExpectSlotsInOrder(const std::vector<Slot>& slots, long first) {
  long expected = first;
  for (const Slot& s : slots) {
    EXPECT_EQ(s.slot, expected) << s.name;
    ++expected;
  }
}

struct Field {
  const char* name;
  ptrdiff_t offset;
  size_t size;
  size_t align;
};

template <class C, class T>
Field FieldOf(const char* name, T C::*member) {
  return {name, OffsetOf(member), sizeof(T), alignof(T)};
}

// Each field starts where the previous one ends, rounded up to its alignment; the
// first one right after the virtual-table pointer or the given start.
inline void ExpectFieldsInOrder(const std::vector<Field>& fields, ptrdiff_t start) {
  ptrdiff_t expected = start;
  for (const Field& f : fields) {
    const ptrdiff_t align = static_cast<ptrdiff_t>(f.align);
    expected = (expected + align - 1) / align * align;
    EXPECT_EQ(f.offset, expected) << f.name;
    expected = f.offset + static_cast<ptrdiff_t>(f.size);
  }
}
