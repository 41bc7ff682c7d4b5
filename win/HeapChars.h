#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

// A heap buffer of chars from malloc, freed when it goes. Allocation failure
// gives an empty (null) buffer rather than an exception.
struct FreeChars
{
    void operator()(char* memory) const { std::free(memory); }
};
typedef std::unique_ptr<char, FreeChars> HeapChars;

inline HeapChars AllocateChars(std::size_t size)
{
    return HeapChars(static_cast<char*>(std::malloc(size)));
}
