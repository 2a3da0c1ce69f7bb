// Self-freeing heap strings; see heap_string.h.
#include "daemon/heap_string.h"

#include "daemon/module_memory.h"

#include <cstring>

namespace {
std::size_t LengthOf(const char* text) {
    return text != nullptr ? std::strlen(text) : 0;
}
} // namespace

HeapString::~HeapString() {
    ModuleFree(data_);
}

bool HeapString::Reserve(std::size_t capacity) {
    char* fresh = static_cast<char*>(ModuleAllocate(capacity));
    if (fresh == nullptr) {
        return false;
    }
    std::memset(fresh, 0, capacity);
    ModuleFree(data_);
    data_ = fresh;
    return true;
}

bool HeapString::Assign(const char* first, const char* second, const char* third) {
    const std::size_t lengths[] = {LengthOf(first), LengthOf(second), LengthOf(third)};
    const char* pieces[] = {first, second, third};
    const std::size_t total = lengths[0] + lengths[1] + lengths[2];
    char* fresh = static_cast<char*>(ModuleAllocate(total + 1));
    if (fresh == nullptr) {
        return false;
    }
    char* at = fresh;
    for (std::size_t i = 0; i < sizeof(pieces) / sizeof(pieces[0]); ++i) {
        if (lengths[i] != 0) {
            std::memcpy(at, pieces[i], lengths[i]);
            at += lengths[i];
        }
    }
    *at = '\0';
    ModuleFree(data_);
    data_ = fresh;
    return true;
}

bool HeapString::AssignBytes(const char* text, std::size_t length) {
    char* fresh = static_cast<char*>(ModuleAllocate(length + 1));
    if (fresh == nullptr) {
        return false;
    }
    if (length != 0) {
        std::memcpy(fresh, text, length);
    }
    fresh[length] = '\0';
    ModuleFree(data_);
    data_ = fresh;
    return true;
}
