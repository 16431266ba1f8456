#pragma once

// A scripted handheld: it keeps databases in memory and answers DLP requests as a Palm OS handheld does;
// switches make it misbehave. As a packet link in memory each Send is a request, the next Receive its reply.

#include "pdb/PalmDatabase.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "hotsync/Link.h"
#include "hotsync/NetSync.h"

class FakeHandheld final : public hotsync::IPacketLink
{
public:
    std::uint16_t dlpMinor = 4;                    // of DLP 1.x
    bool cancelOnConduit = false;                  // OpenConduit answers that the user cancelled
    std::size_t spaceLeft = SIZE_MAX;              // record bytes it takes before answering "not enough space"
    bool listNeverAdvances = false;                // every database list page is the first, "more follow"
    std::optional<std::size_t> vanishAfter;        // requests answered before the handheld goes away
    bool answerWrongFunction = false;              // every reply names another function
    bool stallWhenGone = false;                    // over a stream: once gone, keep the line open and silent
    hotsync::CancelFlag* cancelOnRecord = nullptr; // set as the first record arrives, as the desktop's user would

    std::map<std::string, CPalmDatabase> databases; // by name; database lists come two to a page
    std::vector<std::string> log;                   // sync log lines
    std::vector<std::uint8_t> requests;             // functions asked for, in order
    std::optional<std::uint16_t> ended;             // EndOfSync arrived, with its reason (0: done, 2: cancelled)

    bool Vanished() const { return vanishAfter && requests.size() >= *vanishAfter; }
    std::vector<std::uint8_t> Answer(const std::vector<std::uint8_t>& request);
    Status Send(std::span<const std::uint8_t> message, hotsync::Deadline) override;
    Result<std::vector<std::uint8_t>> Receive(hotsync::Deadline) override;

private:
    std::optional<std::vector<std::uint8_t>> m_reply;
    std::map<std::uint8_t, std::string> m_open; // handle -> name
    std::uint8_t m_nextHandle = 1;
    std::uint32_t m_nextId = 0x100000;
};

// The kind of a failure; nothing on success.
template <class R> std::optional<ErrorKind> Failure(const R& result)
{
    return result ? std::nullopt : std::optional(result.error().kind);
}

// A session's work done with `summary` for the sync log, or the error that ended it.
template <class R> Result<std::string> Done(const R& result, std::string summary = {})
{
    return result ? Result<std::string>(std::move(summary)) : Result<std::string>(result.error());
}

// Each record's data, attributes, resource type and id.
inline std::vector<std::tuple<std::vector<std::uint8_t>, int, std::uint32_t, int>> Records(const CPalmDatabase& db)
{
    std::vector<std::tuple<std::vector<std::uint8_t>, int, std::uint32_t, int>> out;
    for (const CPdbRecord& r : db.Records()) {
        out.emplace_back(
            std::vector(r.Data().begin(), r.Data().end()), r.m_attributes, r.m_resourceType, r.m_resourceId);
    }
    return out;
}

// A free loopback port: the system picks one for a listener that is closed again at once.
std::uint16_t FreePort();

// A thread that connects to the desktop at 127.0.0.1:`port` as a handheld does (retrying until the desktop
// listens) and plays `handheld` with NetSync, or with `serial` the serial link's packets.
std::thread HandheldConnecting(FakeHandheld& handheld, std::uint16_t port, bool serial = false);
