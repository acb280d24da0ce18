// A personal distribution list as the properties Outlook stores for it
// ([MS-OXOCNTC] 2.2.2): its name, its members as entry ids in two parallel
// lists, and the checksum Outlook keeps over the first list.
#pragma once

#include <cstdint>
#include <string>

#include "platform/pst/Ltp.h"
#include "platform/pst/Items.h"

namespace pst::detail {

// [MS-OXCDATA] 2.2.5.1: the address itself, with Unicode strings.
Bytes OneOffEntryId(const std::string& displayName, const std::string& addressType,
                    const std::string& address);
// [MS-OXOCNTC] 2.2.2.2.4.1.1: a contact's message entry id, wrapped as the
// member that is the contact's first e-mail address.
Bytes WrappedContactEntryId(const Bytes& messageEntryId);
// The same for a list inside a list.
Bytes WrappedListEntryId(const Bytes& messageEntryId);

// One member as the list stores it: the entry id in the member list (the
// wrapped contact, or the one-off address), and the one-off address.
struct ResolvedMember {
  Bytes entryId;
  Bytes oneOff;
};

// Every property of the list item, into out (cleared first).
void DistListItemProperties(const DistList& list, const std::vector<ResolvedMember>& members,
                            const LtpFormat& fmt, std::uint64_t now,
                            const std::uint8_t (&searchKey)[16], PropertyList& out);

}  // namespace pst::detail
