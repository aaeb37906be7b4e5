#pragma once

#include "sensor/sources/OscPacket.h"
#include "sensor/sources/Source.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Writing OSC 1.0 packets: what a body-stream sender puts in its datagrams.
// The program itself only reads them; tests, benchmarks and the fuzz target
// send with these, and the reader must give back exactly what was written.
namespace camera {

OscArgument oscInt(std::int32_t value);
OscArgument oscFloat(float value);
OscArgument oscDouble(double value);
// The text must outlive the argument (it is not copied until written).
OscArgument oscString(std::string_view text);
OscArgument oscBlob(std::string_view bytes);

// One message: the address, the type tags made from the arguments' types,
// then the arguments, each padded to a multiple of four bytes. Arguments of
// the types without a value ('T', 'F', 'N', 'I') write only their tag.
std::string oscMessage(std::string_view address, const std::vector<OscArgument> &arguments);

// A bundle of ready-made elements (messages or bundles) with the given time
// tag (1 means "at once").
std::string oscBundle(const std::vector<std::string> &elements, std::uint64_t timeTag = 1);

// The messages of one body in one body frame, as the common senders send
// them: the 25 joints in joint order (",fffs": x, y, z in metres and the
// tracking state; ",fff" without the state), then the left and the right
// hand (",ss": hand state, confidence "High").
std::vector<std::string> oscBodyMessages(const Body &body, bool withStates = true);

} // namespace camera
