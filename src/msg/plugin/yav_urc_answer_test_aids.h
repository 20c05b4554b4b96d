// Test aids for the URC version question and answer: element chains of
// versions, branches and entries written by hand (over the shared wire
// encoders), and recognisable cache versions.  Test code only; one thread
// at a time.
#ifndef YAV_MSG_PLUGIN_YAV_URC_ANSWER_TEST_AIDS_H
#define YAV_MSG_PLUGIN_YAV_URC_ANSWER_TEST_AIDS_H

#include <cstdint>
#include <cstring>
#include <string>

#include "msg/plugin/yav_wire_test_aids.h"
#include "urc/plugin/YavEpochVersion.h"

// An element chain that also writes the values of a URC version answer.
class YavUrcWireChain : public YavWireChainOf<YavUrcWireChain> {
  public:
    YavUrcWireChain& version(const YavEpochVersion& v) {
        return element(YavWireValue().buf(v.bytes(), YavEpochVersion::kSize));
    }
    YavUrcWireChain& branch(const std::string& name, int32_t count) {
        element(YavWireValue().str(name));
        return element(YavWireValue().u32(static_cast<uint32_t>(count)));
    }
    YavUrcWireChain& entry(const std::string& name, const std::string& value) {
        return element(YavWireValue().str(name).str(value));
    }
};

// Identifier bytes seed, seed + 1, ...; the given counter.
inline YavEpochVersion yav_test_version(unsigned char seed, int32_t counter) {
    unsigned char bytes[YavEpochVersion::kSize];
    for (int i = 0; i < YavEpochVersion::kEpochSize; ++i) {
        bytes[i] = static_cast<unsigned char>(seed + i);
    }
    memcpy(bytes + YavEpochVersion::kEpochSize, &counter, 4);
    YavEpochVersion v;
    v.set(bytes);
    return v;
}

#endif  // YAV_MSG_PLUGIN_YAV_URC_ANSWER_TEST_AIDS_H
