// Tables of display names of MQ constant values, and the one search over them. A row names
// its value itself, or (a null name) takes IBM's name for it from the table's family of
// constants through MqValueName.
#ifndef VRQ_COMMON_CONFIG_VALUE_NAMES_H
#define VRQ_COMMON_CONFIG_VALUE_NAMES_H

#include <vrqapi.h>

#include <cmqc.h>

#include <span>

namespace vrq {

struct ValueName {
  long value;
  const char* name;  // null: IBM's name of the value in the table's family
};

// The name of value in rows; null when no row holds the value, or when the row takes IBM's
// name and IBM has none.
inline const char* FindName(std::span<const ValueName> rows, long value, const char* family = nullptr) {
  for (const ValueName& row : rows)
    if (row.value == value) return row.name != nullptr ? row.name : MqValueName(family, static_cast<MQLONG>(value));
  return nullptr;
}

}  // namespace vrq

#endif  // VRQ_COMMON_CONFIG_VALUE_NAMES_H
