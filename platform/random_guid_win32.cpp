#include <objbase.h>

#include <algorithm>

#include "platform/random_guid.h"

namespace rigwright {

bool NewRandomGuid(Guid* guid) {
  GUID fresh;
  if (FAILED(::CoCreateGuid(&fresh))) return false;
  guid->data1 = fresh.Data1;
  guid->data2 = fresh.Data2;
  guid->data3 = fresh.Data3;
  std::copy(std::begin(fresh.Data4), std::end(fresh.Data4), guid->data4.begin());
  return true;
}

}  // namespace rigwright
