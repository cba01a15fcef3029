#include "smtpprov/smtp_families.h"

#include "stores/field_macros.h"
#include "tallowmere/smtpprov.h"

namespace tallowmere::smtpprov {
namespace {

using ExitCodes = provider::ExitResults;
using stores::FieldSpec;
using M = stores::MatchRule;
using V = stores::ValueForm;

// Status and RedirectionStatus go into the value list quoted, the other
// integers bare.
constexpr FieldSpec kDomainFields[] = {
    TALLOWMERE_TEXT_FIELD(SMTPDomainRecord, DomainName, M::kText, M::kText),
    TALLOWMERE_INTEGER_FIELD(SMTPDomainRecord, Status, M::kNumber, V::kQuotedInteger),
    TALLOWMERE_INTEGER_FIELD(SMTPDomainRecord, RedirectionStatus, M::kNumber, V::kQuotedInteger),
    TALLOWMERE_TEXT_FIELD(SMTPDomainRecord, RedirectionHosts, M::kText, M::kText),
    TALLOWMERE_TEXT_FIELD(SMTPDomainRecord, Account, M::kText, M::kText),
    TALLOWMERE_INTEGER_FIELD(SMTPDomainRecord, RetainMode, M::kNone, V::kBareInteger),
    TALLOWMERE_INTEGER_FIELD(SMTPDomainRecord, PollForMessages, M::kNone, V::kBareInteger),
    TALLOWMERE_TEXT_FIELD(SMTPDomainRecord, UpStreamHost, M::kNone, M::kNone),
    TALLOWMERE_INTEGER_FIELD(SMTPDomainRecord, PollInterval, M::kNone, V::kBareInteger),
    TALLOWMERE_INTEGER_FIELD(SMTPDomainRecord, AliasMode, M::kNone, V::kBareInteger),
    TALLOWMERE_TEXT_FIELD(SMTPDomainRecord, AliasValue, M::kNone, M::kNone),
};

// The mask is a pattern for Get, Edit and Remove and an address for FindNext.
constexpr FieldSpec kAccessFields[] = {
    TALLOWMERE_INTEGER_FIELD(SMTPAccessRecord, Mode, M::kNumber, V::kQuotedInteger),
    TALLOWMERE_TEXT_FIELD(SMTPAccessRecord, AddressMask, M::kPattern, M::kAddress),
    TALLOWMERE_INTEGER_FIELD(SMTPAccessRecord, Status, M::kNumber, V::kQuotedInteger),
    TALLOWMERE_TEXT_FIELD(SMTPAccessRecord, Account, M::kText, M::kText),
    TALLOWMERE_TEXT_FIELD(SMTPAccessRecord, AccessRight, M::kText, M::kText),
};

constexpr FieldSpec kBlacklistFields[] = {
    TALLOWMERE_TEXT_FIELD(SMTPBlacklistRecord, TargetDomainName, M::kPattern, M::kPattern),
    TALLOWMERE_TEXT_FIELD(SMTPBlacklistRecord, BannedDomainName, M::kPattern, M::kPattern),
    TALLOWMERE_INTEGER_FIELD(SMTPBlacklistRecord, Status, M::kNumber, V::kQuotedInteger),
    TALLOWMERE_TEXT_FIELD(SMTPBlacklistRecord, Account, M::kText, M::kText),
};

//                                 noSession noStatement rejected noRow success
const ExitCodes kPlain{0, 0, 0, 0, 1};
const ExitCodes kGetRejectedMinusOne{0, 0, -1, 0, 1};
const ExitCodes kAccessGet{-1, 0, -1, 0, 1};
const ExitCodes kAccessRemove{0, 0, -1, 0, 1};
const ExitCodes kAccessFindNext{-1, 0, -1, 0, 1};

}  // namespace

const stores::FamilySpec kDomainFamily{"DOMAIN", kDomainFields, sizeof(SMTPDomainRecord),
                                       kPlain,   kGetRejectedMinusOne, kPlain, kPlain, kPlain, " ID,", false,
                                       stores::JoinColumns(kDomainFields), stores::ResultColumnsOf(kDomainFields)};
const stores::FamilySpec kAccessFamily{"SMTP_ACCESS", kAccessFields, sizeof(SMTPAccessRecord),
                                       kPlain,        kAccessGet,    kPlain, kAccessRemove, kAccessFindNext,
                                       "  ID,",       true,          stores::JoinColumns(kAccessFields), stores::ResultColumnsOf(kAccessFields)};
const stores::FamilySpec kBlacklistFamily{"SMTP_BLACKLIST", kBlacklistFields, sizeof(SMTPBlacklistRecord),
                                          kPlain,           kGetRejectedMinusOne, kPlain, kPlain, kPlain,
                                          " ID,",           false,           stores::JoinColumns(kBlacklistFields), stores::ResultColumnsOf(kBlacklistFields)};

}  // namespace tallowmere::smtpprov
