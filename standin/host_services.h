// The stand-in server's implementation of every service the module uses.
#ifndef VELMORA_STANDIN_HOST_SERVICES_H
#define VELMORA_STANDIN_HOST_SERVICES_H

#include <cstddef>
#include <set>

// Puts the reference services into a block's slots, except those whose
// 32-bit byte offsets are listed in `missing`, which stay null.
void InstallReferenceServices(unsigned char* block, const std::set<std::size_t>& missing);

#endif
