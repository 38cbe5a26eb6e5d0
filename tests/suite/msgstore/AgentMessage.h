// A message as the delivery agent hands it to CMsgStore: the text, its parse
// and a status record received on 6 December 2026 at 09:05, for the tests that file
// through CMsgStore (here, tests/filing and tests/integration).
#pragma once

#include "suite/cclient/MessageParser.h"
#include "suite/msgstore/CMsgStore.h"

#include <string>

namespace storetest {

struct AgentMessage {
    explicit AgentMessage(std::string t, std::uint32_t systemFlags = 0) : text(std::move(t))
    {
        const std::size_t header = text.find("\r\n\r\n") + 2;
        parsed = locmail::cclient::ParseMessage(text.data(), header, text.data() + header + 2,
                                                text.size() - header - 2);
        stat.day = 6;
        stat.month = 12;
        stat.year = 56;
        stat.hours = 9;
        stat.minutes = 5;
        stat.size = static_cast<std::uint32_t>(text.size());
        stat.headerSize = static_cast<std::uint32_t>(header);
        stat.systemFlags = systemFlags;
    }

    // AddUserMsg and AddSharedMsg with this message (flags: CMsgStore.h).
    void FileFor(CMsgStore& store, const char* user, const char* folder = "inbox", bool ownFlags = false,
                 bool makeFolder = false)
    {
        store.AddUserMsg(user, parsed.body.get(), parsed.envelope.get(), &stat, text.data(), text.size(), folder,
                         ownFlags, makeFolder);
    }
    void FileShared(CMsgStore& store, const char* box, const char* folder, bool makeFolder = false)
    {
        store.AddSharedMsg(box, parsed.body.get(), parsed.envelope.get(), &stat, text.data(), text.size(), folder,
                           makeFolder);
    }

    std::string text;
    locmail::cclient::ParsedMessage parsed;
    _msgstat stat{};
};

} // namespace storetest
