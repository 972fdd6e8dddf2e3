// Placeholder until the listings land.
#include "core/interpreter/listings.h"

#include <cstdio>

void listLocation(int) {}
void listInventory() {}
void substituteVariables(const char *text, char *out, size_t outSize) { snprintf(out, outSize, "%s", text); }
void convertToLatin1() {}
