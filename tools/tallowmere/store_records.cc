#include "tools/tallowmere/store_records.h"

#include <cstring>

#include "tallowmere/listprov.h"
#include "tallowmere/smtpprov.h"

namespace tallowmere::host {

#define TEXT(Record, name) StoreField{#name, offsetof(Record, name), sizeof(Record::name), true}
#define INT(Record, name) StoreField{#name, offsetof(Record, name), sizeof(Record::name), false}

const std::vector<StoreFamily>& StoreFamilies() {
  static const std::vector<StoreFamily> families = {
      {"lists", "Mailing lists (table LIST, liblistprov)", "listprov", "List", sizeof(ListRecord),
       {TEXT(ListRecord, ListName), TEXT(ListRecord, AccountName), INT(ListRecord, ListType),
        TEXT(ListRecord, ModeratorAddress), INT(ListRecord, Status), TEXT(ListRecord, Description),
        INT(ListRecord, HeaderAnnotationStatus), TEXT(ListRecord, HeaderAnnotation),
        INT(ListRecord, FooterAnnotationStatus), TEXT(ListRecord, FooterAnnotation), TEXT(ListRecord, ListAddress),
        INT(ListRecord, SubscribeMessageFileStatus), TEXT(ListRecord, SubscribeMessageFile),
        INT(ListRecord, UnsubscribeMessageFileStatus), TEXT(ListRecord, UnsubscribeMessageFile),
        INT(ListRecord, SubjectSuffixStatus), TEXT(ListRecord, SubjectSuffix), INT(ListRecord, SubjectPrefixStatus),
        TEXT(ListRecord, SubjectPrefix), TEXT(ListRecord, Owner), INT(ListRecord, HelpMessageFileStatus),
        TEXT(ListRecord, HelpMessageFile), INT(ListRecord, RemovalMessageFileStatus),
        TEXT(ListRecord, RemovalMessageFile), INT(ListRecord, ReplyToMode), INT(ListRecord, MaxMessageSize),
        INT(ListRecord, PostingMode), INT(ListRecord, SubScriptionMode), INT(ListRecord, AuthenticationMode),
        TEXT(ListRecord, Password), INT(ListRecord, DigestMode), TEXT(ListRecord, DigestMailbox),
        INT(ListRecord, DigestAnnotationMode), INT(ListRecord, DigestAttachmentMode),
        INT(ListRecord, DigestMessageSeparationMode), INT(ListRecord, DigestSchedulingStatus),
        INT(ListRecord, DigestSchedulingMode), INT(ListRecord, DigestSchedulingInterval),
        INT(ListRecord, FromAddressMode)}},
      {"members", "Members of mailing lists (table LIST_MEMBER, liblistprov)", "listprov", "ListMember",
       sizeof(ListMemberRecord),
       {TEXT(ListMemberRecord, Address), TEXT(ListMemberRecord, Postoffice), TEXT(ListMemberRecord, Mailbox)}},
      {"domains", "SMTP domains (table DOMAIN, libsmtpprov)", "smtpprov", "SMTPDomain", sizeof(SMTPDomainRecord),
       {TEXT(SMTPDomainRecord, DomainName), INT(SMTPDomainRecord, Status), INT(SMTPDomainRecord, RedirectionStatus),
        TEXT(SMTPDomainRecord, RedirectionHosts), TEXT(SMTPDomainRecord, Account), INT(SMTPDomainRecord, RetainMode),
        INT(SMTPDomainRecord, PollForMessages), TEXT(SMTPDomainRecord, UpStreamHost),
        INT(SMTPDomainRecord, PollInterval), INT(SMTPDomainRecord, AliasMode), TEXT(SMTPDomainRecord, AliasValue)}},
      {"access", "SMTP access rules by address mask (table SMTP_ACCESS, libsmtpprov)", "smtpprov", "SMTPAccess",
       sizeof(SMTPAccessRecord),
       {INT(SMTPAccessRecord, Mode), TEXT(SMTPAccessRecord, AddressMask), INT(SMTPAccessRecord, Status),
        TEXT(SMTPAccessRecord, Account), TEXT(SMTPAccessRecord, AccessRight)}},
      {"blacklist", "SMTP domain blacklist (table SMTP_BLACKLIST, libsmtpprov)", "smtpprov", "SMTPBlacklist",
       sizeof(SMTPBlacklistRecord),
       {TEXT(SMTPBlacklistRecord, TargetDomainName), TEXT(SMTPBlacklistRecord, BannedDomainName),
        INT(SMTPBlacklistRecord, Status), TEXT(SMTPBlacklistRecord, Account)}},
  };
  return families;
}

#undef TEXT
#undef INT

void StoreRecord::SetNotGiven() {
  std::fill(bytes_.begin(), bytes_.end(), '\0');
  for (const StoreField& field : family_->fields) {
    if (!field.text) SetInteger(field, -1);
  }
}

void StoreRecord::SetText(const StoreField& field, const std::string& value) {
  char* target = bytes_.data() + field.offset;
  std::memset(target, 0, field.width);
  std::memcpy(target, value.data(), std::min(value.size(), field.width - 1));
}

void StoreRecord::SetInteger(const StoreField& field, int32_t value) {
  std::memcpy(bytes_.data() + field.offset, &value, sizeof value);
}

std::string StoreRecord::Text(const StoreField& field) const {
  const char* text = bytes_.data() + field.offset;
  return std::string(text, strnlen(text, field.width - 1));
}

int32_t StoreRecord::Integer(const StoreField& field) const {
  int32_t value;
  std::memcpy(&value, bytes_.data() + field.offset, sizeof value);
  return value;
}

}  // namespace tallowmere::host
