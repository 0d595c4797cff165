#pragma once
// Records stamped field by field through a page's binding table, to see that
// every field comes back from its control.
#include <gtest/gtest.h>

#include <span>
#include <string>

#include "framework/DataExchange.h"

namespace tandrel::test {

// Rounds enough for every field of a table to differ from every other in
// one of them: field i takes bit `round` of i + 1 (never all zero).
constexpr int kStampRounds = 5;

inline bool StampBit(size_t index, int round) { return (((index + 1) >> round) & 1) != 0; }
inline std::wstring StampText(size_t index, int round) {
    return L"欄" + std::to_wstring(index) + L"-" + std::to_wstring(round);
}

template <class Record>
void Stamp(Record& record, std::span<const FieldBinding<Record>> fields, int round) {
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto& field = fields[i].field;
        if (const auto* flag = std::get_if<bool Record::*>(&field)) {
            record.**flag = StampBit(i, round);
        } else if (const auto* number = std::get_if<int Record::*>(&field)) {
            record.**number = StampBit(i, round) ? 1 : 0;
        } else {
            record.*std::get<std::wstring Record::*>(field) = StampText(i, round);
        }
    }
}

// Names the control of each field that did not come back.
template <class Record>
void ExpectStamped(const Record& record, std::span<const FieldBinding<Record>> fields, int round) {
    for (size_t i = 0; i < fields.size(); ++i) {
        const auto& field = fields[i].field;
        SCOPED_TRACE("control " + std::to_string(fields[i].control) + ", round " + std::to_string(round));
        if (const auto* flag = std::get_if<bool Record::*>(&field)) {
            EXPECT_EQ(record.**flag, StampBit(i, round));
        } else if (const auto* number = std::get_if<int Record::*>(&field)) {
            EXPECT_EQ(record.**number, StampBit(i, round) ? 1 : 0);
        } else {
            EXPECT_EQ(record.*std::get<std::wstring Record::*>(field), StampText(i, round));
        }
    }
}

}  // namespace tandrel::test
