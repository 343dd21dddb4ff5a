#include "strings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

int32_t HighestBit(uint32_t x) {
    if (x == 0)
        return -1;
    return 31 - __builtin_clz(x);
}

int32_t GrowthCapacity(int32_t n) {
    if (n <= 4)
        return 4;
    if (n > (1 << 30))
        return -1;
    uint32_t v = static_cast<uint32_t>(n - 1);
    return static_cast<int32_t>(1u << (HighestBit(v) + 1));
}

bool Reserve(void*& storage, int32_t& capacity, int32_t n, size_t elementSize) {
    if (n <= capacity)
        return true;
    int32_t newCapacity = GrowthCapacity(n);
    if (newCapacity < 0 || static_cast<size_t>(newCapacity) > std::numeric_limits<size_t>::max() / elementSize)
        return false;
    void* block = std::realloc(storage, static_cast<size_t>(newCapacity) * elementSize);
    if (!block)
        return false;
    storage = block;
    capacity = newCapacity;
    return true;
}

// --- ByteArray ---

ByteArray::ByteArray(const ByteArray& other) { Assign(other.data, other.length); }

ByteArray& ByteArray::operator=(const ByteArray& other) {
    if (this != &other)
        Assign(other.data, other.length);
    return *this;
}

ByteArray::~ByteArray() { std::free(data); }

bool ByteArray::Reserve(int32_t n) {
    void* storage = data;
    bool ok = ::Reserve(storage, capacity, n, 1);
    data = static_cast<uint8_t*>(storage);
    return ok;
}

bool ByteArray::SetLength(int32_t n) {
    if (n < 0 || !Reserve(n))
        return false;
    length = n;
    return true;
}

void ByteArray::Assign(const void* bytes, int32_t n) {
    length = 0;
    Append(bytes, n);
}

void ByteArray::Append(const void* bytes, int32_t n) {
    if (n <= 0)
        return;
    uint8_t* target = AppendSpace(n);
    if (target)
        std::memmove(target, bytes, static_cast<size_t>(n));
}

uint8_t* ByteArray::AppendSpace(int32_t n) {
    if (n < 0 || length > std::numeric_limits<int32_t>::max() - n || !Reserve(length + n))
        std::abort();  // out of memory: strings cannot report it
    uint8_t* target = data + length;
    length += n;
    return target;
}

bool ByteArray::Contains(uint8_t byte) const {
    return length > 0 && std::memchr(data, byte, static_cast<size_t>(length)) != nullptr;
}

// --- String ---

String::String(const char* text) {
    if (text)
        Assign(text, static_cast<int32_t>(std::strlen(text)));
}

String& String::operator=(const char* text) {
    length = 0;
    if (text)
        Append(text);
    return *this;
}

void String::Append(const char* text) { ByteArray::Append(text, static_cast<int32_t>(std::strlen(text))); }

bool String::operator==(const char* text) const {
    size_t n = std::strlen(text);
    return n == static_cast<size_t>(length) && (n == 0 || std::memcmp(data, text, n) == 0);
}

int32_t String::Compare(const String& other, bool caseSensitive, int32_t maxLength) const {
    int32_t a = length, b = other.length;
    if (maxLength >= 0) {
        if (a > maxLength) a = maxLength;
        if (b > maxLength) b = maxLength;
    }
    int32_t n = a < b ? a : b;
    for (int32_t i = 0; i < n; ++i) {
        int32_t x = static_cast<int8_t>(data[i]);
        int32_t y = static_cast<int8_t>(other.data[i]);
        if (!caseSensitive) {
            if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
            if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        }
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a != b)
        return a < b ? -1 : 1;
    return 0;
}

PointerArray* String::Split(uint8_t separator) const {
    auto* parts = new PointerArray;
    int32_t start = 0;
    for (int32_t i = 0; i <= length; ++i) {
        if (i == length || data[i] == separator) {
            if (i > start)
                parts->Append(new String(chars() + start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// --- PointerArray ---

PointerArray::~PointerArray() { std::free(storage); }

void** PointerArray::AppendSlots(int32_t n) {
    void* block = storage;
    if (n < 0 || count > std::numeric_limits<int32_t>::max() - n || !::Reserve(block, capacity, count + n, sizeof(void*)))
        std::abort();
    storage = static_cast<void**>(block);
    void** slots = storage + count;
    count += n;
    return slots;
}

void PointerArray::RemoveValue(void* value, int32_t from, int32_t to) {
    if (to < 0 || to > count)
        to = count;
    if (from < 0)
        from = 0;
    int32_t write = from;
    for (int32_t read = from; read < to; ++read)
        if (storage[read] != value)
            storage[write++] = storage[read];
    int32_t removed = to - write;
    if (removed == 0)
        return;
    std::memmove(storage + write, storage + to, static_cast<size_t>(count - to) * sizeof(void*));
    count -= removed;
}

void PointerArray::RemoveAt(int32_t index) {
    if (index < 0 || index >= count)
        return;
    std::memmove(storage + index, storage + index + 1, static_cast<size_t>(count - index - 1) * sizeof(void*));
    --count;
}

void DeleteStrings(PointerArray* strings) {
    if (!strings)
        return;
    for (int32_t i = 0; i < strings->count; ++i)
        delete strings->At<String>(i);
    delete strings;
}

// --- Formatting ---

namespace {

struct Ring {
    String slots[8];
    int32_t next = 0;
    String& take() {
        String& s = slots[next];
        next = (next + 1) % 8;
        return s;
    }
};

Ring& formatRing() { static Ring ring; return ring; }
Ring& tempRing() { static Ring ring; return ring; }
Ring& cstrRing() { static Ring ring; return ring; }

}  // namespace

int32_t FormatInitialSize(int32_t formatLength) {
    int32_t size = 2 * formatLength + 2;
    int32_t twice = 2 * formatLength;
    int32_t power = 1;
    while (power <= twice)
        power <<= 1;
    if (power > 2 && power > size)
        size = power;
    return size;
}

int32_t FormatIntoV(String& target, const char* format, va_list args) {
    int32_t size = FormatInitialSize(static_cast<int32_t>(std::strlen(format)));
    for (;;) {
        // The bounded print may use all `size` bytes for text; one more byte
        // holds the zero that vsnprintf always writes.
        if (!target.Reserve(size + 1))
            std::abort();
        va_list copy;
        va_copy(copy, args);
        int written = std::vsnprintf(reinterpret_cast<char*>(target.data), static_cast<size_t>(size) + 1, format, copy);
        va_end(copy);
        if (written < 0) {
            target.length = 0;
            return size;
        }
        if (written <= size) {
            target.length = written;
            return size;
        }
        size *= 2;
    }
}

int32_t FormatInto(String& target, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int32_t size = FormatIntoV(target, format, args);
    va_end(args);
    return size;
}

String& Format(const char* format, ...) {
    String& slot = formatRing().take();
    va_list args;
    va_start(args, format);
    FormatIntoV(slot, format, args);
    va_end(args);
    return slot;
}

String& Temp(const char* text) {
    String& slot = tempRing().take();
    slot = text;
    return slot;
}

const char* CStr(const String& s) {
    String& slot = cstrRing().take();
    slot.Assign(s.data, s.length);
    slot.AppendByte(0);
    return slot.chars();
}
