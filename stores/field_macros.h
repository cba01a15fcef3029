// Shorthands for the field tables of the record families: a field's column,
// offset and width come from the public record struct, so the tables cannot
// drift from the host layout. Header-only, no state.
#pragma once

#include <cstddef>

#include "stores/record_family.h"

#define TALLOWMERE_TEXT_FIELD(Record, name, matchRule, findRule)                                    \
  ::tallowmere::stores::FieldSpec {                                                                \
    #name, static_cast<uint32_t>(offsetof(Record, name)), static_cast<uint32_t>(sizeof(Record::name)), \
        ::tallowmere::stores::FieldKind::kText, matchRule, findRule,                                \
        ::tallowmere::stores::ValueForm::kQuotedText                                                \
  }

#define TALLOWMERE_INTEGER_FIELD(Record, name, matchRule, valueForm)                                \
  ::tallowmere::stores::FieldSpec {                                                                \
    #name, static_cast<uint32_t>(offsetof(Record, name)), static_cast<uint32_t>(sizeof(Record::name)), \
        ::tallowmere::stores::FieldKind::kInteger, matchRule, matchRule, valueForm                  \
  }
