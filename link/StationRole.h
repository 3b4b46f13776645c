#pragma once
// Control of a shared line, as a station tells each console and as a console asks for it, in
// RFC 2217's own SIGNATURE texts (COM-PORT-OPTION command 0 from the console, 100 from the
// station). A serial server that says anything else is a plain one: nobody shares its line.
//
//   station -> console   "kaldor-station operating"              this console holds control
//                        "kaldor-station watching dl1abc"        dl1abc holds it
//                        "kaldor-station watching -"             nobody holds it
//                        ... " operator"                         this console's user may take it
//   console -> station   "take-control dl1abc"                   takes it from the holder seen
//                        "take-control -"                        takes it while nobody holds it
//                        (empty, per RFC 2217)                   asks for the station's text
//
// A take-over names the holder its user saw and confirmed: when control has passed meanwhile,
// the station refuses it and tells the console the new holder, so of two operators who take
// control at once one wins and both learn who holds it.
#include <cstddef>
#include <string>

#include "TelnetCodec.h"

namespace kaldor {

struct StationRole {
    bool Operating = false; // this console holds control
    std::string Holder;     // who does, empty when nobody (or this console)
    bool Operator = false;  // this console's user may take control

    bool operator==(const StationRole& o) const {
        return Operating == o.Operating && Holder == o.Holder && Operator == o.Operator;
    }
    bool operator!=(const StationRole& o) const { return !(*this == o); }
};

constexpr const char* StationSignaturePrefix = "kaldor-station";
// User names travel printable, without blanks, and cut to this.
constexpr size_t MaxUserName = 32;
std::string UserNameOnLine(const std::string& name);

std::string StationSignature(const StationRole& role);
// False for any other text: a plain serial server's signature, or a garbled one.
bool ParseStationSignature(const std::string& text, StationRole& role);

std::string TakeControlRequest(const std::string& seenHolder);
// False for anything but a take-over; seenHolder empty for "-".
bool ParseTakeControl(const std::string& text, std::string& seenHolder);

// IAC SB COM-PORT-OPTION command text IAC SE.
ByteVector SignatureCommand(uint8_t command, const std::string& text);

} // namespace kaldor
