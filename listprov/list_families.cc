#include "listprov/list_families.h"

#include "stores/field_macros.h"
#include "tallowmere/listprov.h"

namespace tallowmere::listprov {
namespace {

using ExitCodes = provider::ExitResults;
using stores::FieldSpec;
using M = stores::MatchRule;
using V = stores::ValueForm;

#define TEXT(name, match) TALLOWMERE_TEXT_FIELD(ListRecord, name, match, match)
#define INT(name, match) TALLOWMERE_INTEGER_FIELD(ListRecord, name, match, V::kBareInteger)
constexpr FieldSpec kListFields[] = {
    TEXT(ListName, M::kText),
    TEXT(AccountName, M::kText),
    INT(ListType, M::kNumber),
    TEXT(ModeratorAddress, M::kText),
    INT(Status, M::kNumber),
    TEXT(Description, M::kText),
    INT(HeaderAnnotationStatus, M::kNumber),
    TEXT(HeaderAnnotation, M::kText),
    INT(FooterAnnotationStatus, M::kNumber),
    TEXT(FooterAnnotation, M::kText),
    TEXT(ListAddress, M::kText),
    INT(SubscribeMessageFileStatus, M::kNone),
    TEXT(SubscribeMessageFile, M::kNone),
    INT(UnsubscribeMessageFileStatus, M::kNone),
    TEXT(UnsubscribeMessageFile, M::kNone),
    INT(SubjectSuffixStatus, M::kNone),
    TEXT(SubjectSuffix, M::kNone),
    INT(SubjectPrefixStatus, M::kNone),
    TEXT(SubjectPrefix, M::kNone),
    TEXT(Owner, M::kNone),
    INT(HelpMessageFileStatus, M::kNone),
    TEXT(HelpMessageFile, M::kNone),
    INT(RemovalMessageFileStatus, M::kNone),
    TEXT(RemovalMessageFile, M::kNone),
    INT(ReplyToMode, M::kNone),
    INT(MaxMessageSize, M::kNone),
    INT(PostingMode, M::kNone),
    INT(SubScriptionMode, M::kNone),
    INT(AuthenticationMode, M::kNone),
    TEXT(Password, M::kNone),
    INT(DigestMode, M::kNone),
    TEXT(DigestMailbox, M::kNone),
    INT(DigestAnnotationMode, M::kNone),
    INT(DigestAttachmentMode, M::kNone),
    INT(DigestMessageSeparationMode, M::kNone),
    INT(DigestSchedulingStatus, M::kNone),
    INT(DigestSchedulingMode, M::kNone),
    INT(DigestSchedulingInterval, M::kNone),
    INT(FromAddressMode, M::kNone),
};
#undef TEXT
#undef INT
static_assert(std::size(kListFields) == 39);

#define TEXT(name) TALLOWMERE_TEXT_FIELD(ListMemberRecord, name, M::kText, M::kText)
constexpr FieldSpec kListMemberFields[] = {TEXT(Address), TEXT(Postoffice), TEXT(Mailbox)};
#undef TEXT

// Every exit of every listprov operation is 0 but success.
const ExitCodes kCommand{0, 0, 0, 0, 1};
const ExitCodes kRead{0, 0, 0, 0, 1};

}  // namespace

const stores::FamilySpec kListFamily{"LIST", kListFields, sizeof(ListRecord), kCommand, kRead, kCommand,
                                     kCommand, kRead, " ID,", false,
                                     stores::JoinColumns(kListFields), stores::ResultColumnsOf(kListFields)};
const stores::FamilySpec kListMemberFamily{
    "LIST_MEMBER", kListMemberFields, sizeof(ListMemberRecord), kCommand, kRead, kCommand, kCommand, kRead,
    " ID,",        false,         stores::JoinColumns(kListMemberFields), stores::ResultColumnsOf(kListMemberFields)};

}  // namespace tallowmere::listprov
