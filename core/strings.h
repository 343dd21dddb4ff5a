#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

// Index of the highest set bit (0 for 1, 8 for 256); -1 for 0.
int32_t HighestBit(uint32_t x);

// The one growth rule of every growable buffer: the smallest power of two
// that holds n elements, never less than 4.
int32_t GrowthCapacity(int32_t n);

// Grows storage (capacity elements of elementSize bytes) so that it holds at
// least n elements, keeping its contents. Capacity never shrinks. Returns
// false, leaving storage and capacity unchanged, when allocation fails or the
// size does not fit.
bool Reserve(void*& storage, int32_t& capacity, int32_t n, size_t elementSize);

// A growable byte buffer; no terminating zero is stored.
class ByteArray {
public:
    ByteArray() = default;
    ByteArray(const ByteArray& other);
    ByteArray& operator=(const ByteArray& other);
    virtual ~ByteArray();

    int32_t length = 0;
    int32_t capacity = 0;
    uint8_t* data = nullptr;

    bool Reserve(int32_t n);
    // Sets the length, growing the capacity when needed; new bytes are
    // uninitialised. False when the memory cannot be had.
    bool SetLength(int32_t n);
    void Assign(const void* bytes, int32_t n);
    void Append(const void* bytes, int32_t n);
    void AppendByte(uint8_t b) { Append(&b, 1); }
    // Appends n uninitialised bytes and returns where they start.
    uint8_t* AppendSpace(int32_t n);
    void Empty() { length = 0; }
    bool Contains(uint8_t byte) const;
};

class PointerArray;

class String : public ByteArray {
public:
    String() = default;
    String(const char* text);
    String(const char* bytes, int32_t n) { Assign(bytes, n); }
    String(const std::string& text) { Assign(text.data(), static_cast<int32_t>(text.size())); }
    String(const String& other) = default;
    String& operator=(const String& other) = default;
    String& operator=(const char* text);
    ~String() override = default;

    const char* chars() const { return reinterpret_cast<const char*>(data); }
    std::string str() const { return length ? std::string(chars(), static_cast<size_t>(length)) : std::string(); }

    void Append(const char* text);
    void Append(const String& other) { ByteArray::Append(other.data, other.length); }
    using ByteArray::Append;

    // -1, 0 or 1. Bytes compare as signed 8-bit values; without case
    // sensitivity only A-Z are folded. maxLength < 0 means no limit.
    int32_t Compare(const String& other, bool caseSensitive = true, int32_t maxLength = -1) const;

    // The non-empty runs between separators, as new caller-owned Strings.
    PointerArray* Split(uint8_t separator) const;

    bool operator==(const String& other) const { return Compare(other) == 0; }
    bool operator!=(const String& other) const { return Compare(other) != 0; }
    bool operator==(const char* text) const;
    bool operator!=(const char* text) const { return !(*this == text); }
};

// A growable array of pointers that does not own what they point to.
class PointerArray {
public:
    PointerArray() = default;
    PointerArray(const PointerArray&) = delete;
    PointerArray& operator=(const PointerArray&) = delete;
    virtual ~PointerArray();

    int32_t count = 0;
    int32_t capacity = 0;
    void** storage = nullptr;

    // Pointer to n new slots at the end; the caller stores into them.
    void** AppendSlots(int32_t n);
    void Append(void* p) { *AppendSlots(1) = p; }
    // Removes every slot in from .. to-1 (to < 0: the end) holding value,
    // keeping the order of the others.
    void RemoveValue(void* value, int32_t from = 0, int32_t to = -1);
    void RemoveAt(int32_t index);
    void Empty() { count = 0; }

    template <typename T>
    T* At(int32_t i) const { return static_cast<T*>(storage[i]); }
};

// Deletes the Strings that Split handed out, then the array.
void DeleteStrings(PointerArray* strings);

// printf-style formatting into a temporary from an eight-slot ring: valid
// until eight further Format calls. Main thread only.
String& Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The same into a given string. Returns the size of the buffer that the
// output finally fitted into.
int32_t FormatInto(String& target, const char* format, ...) __attribute__((format(printf, 2, 3)));
int32_t FormatIntoV(String& target, const char* format, va_list args);

// The size FormatInto tries first for a format of the given length.
int32_t FormatInitialSize(int32_t formatLength);

// A temporary copy of text, from its own eight-slot ring.
String& Temp(const char* text);

// A temporary zero-terminated copy of a string, from its own eight-slot ring.
const char* CStr(const String& s);
