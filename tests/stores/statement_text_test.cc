// Exact statement texts of the five record families in the three dialects,
// built from host records the way the exports build them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "listprov/list_families.h"
#include "provider/settings.h"
#include "smtpprov/smtp_families.h"
#include "stores/record_family.h"
#include "tallowmere/listprov.h"
#include "tallowmere/smtpprov.h"

namespace tallowmere::stores {
namespace {

using provider::SqlDialect;

const std::string kListColumns =
    "ListName,AccountName,ListType,ModeratorAddress,Status,Description,HeaderAnnotationStatus,"
    "HeaderAnnotation,FooterAnnotationStatus,FooterAnnotation,ListAddress,SubscribeMessageFileStatus,"
    "SubscribeMessageFile,UnsubscribeMessageFileStatus,UnsubscribeMessageFile,SubjectSuffixStatus,"
    "SubjectSuffix,SubjectPrefixStatus,SubjectPrefix,Owner,HelpMessageFileStatus,HelpMessageFile,"
    "RemovalMessageFileStatus,RemovalMessageFile,ReplyToMode,MaxMessageSize,PostingMode,"
    "SubScriptionMode,AuthenticationMode,Password,DigestMode,DigestMailbox,DigestAnnotationMode,"
    "DigestAttachmentMode,DigestMessageSeparationMode,DigestSchedulingStatus,DigestSchedulingMode,"
    "DigestSchedulingInterval,FromAddressMode";
const std::string kDomainColumns =
    "DomainName,Status,RedirectionStatus,RedirectionHosts,Account,RetainMode,PollForMessages,"
    "UpStreamHost,PollInterval,AliasMode,AliasValue";
const std::string kAccessColumns = "Mode,AddressMask,Status,Account,AccessRight";
const std::string kBlacklistColumns = "TargetDomainName,BannedDomainName,Status,Account";

void UseDialect(SqlDialect dialect) {
  auto& settings = provider::Settings();
  settings.Dialect = dialect;
  settings.RowLimitHead = dialect == SqlDialect::kSqlServer ? "SELECT TOP 1 " : "SELECT ";
  settings.RowLimitTail = dialect == SqlDialect::kSqlServer ? "" : " LIMIT 1";
}

template <typename Record>
Record Blank() {  // every field not given
  Record record;
  std::memset(&record, 0, sizeof record);
  return record;
}
ListRecord BlankList() {
  auto r = Blank<ListRecord>();
  for (auto* i : {&r.ListType, &r.Status, &r.HeaderAnnotationStatus, &r.FooterAnnotationStatus,
                  &r.SubscribeMessageFileStatus, &r.UnsubscribeMessageFileStatus, &r.SubjectSuffixStatus,
                  &r.SubjectPrefixStatus, &r.HelpMessageFileStatus, &r.RemovalMessageFileStatus,
                  &r.ReplyToMode, &r.MaxMessageSize, &r.PostingMode, &r.SubScriptionMode,
                  &r.AuthenticationMode, &r.DigestMode, &r.DigestAnnotationMode, &r.DigestAttachmentMode,
                  &r.DigestMessageSeparationMode, &r.DigestSchedulingStatus, &r.DigestSchedulingMode,
                  &r.DigestSchedulingInterval, &r.FromAddressMode})
    *i = -1;
  return r;
}
SMTPAccessRecord Access(int32_t mode, const char* mask, int32_t status = -1) {
  auto r = Blank<SMTPAccessRecord>();
  r.Mode = mode;
  std::strcpy(r.AddressMask, mask);
  r.Status = status;
  return r;
}

TEST(StatementTextTest, ListGetInEachDialect) {
  auto record = BlankList();
  std::strcpy(record.ListName, "staff");
  record.Status = 1;
  std::strcpy(record.Owner, "ignored");  // never a match field
  record.PostingMode = 3;
  struct Case {
    SqlDialect dialect;
    std::string expected;
  } cases[] = {
      {SqlDialect::kSqlServer,
       "SELECT TOP 1  ID," + kListColumns + " FROM LIST WHERE ((ListName = 'staff') AND (Status = 1)) ;"},
      {SqlDialect::kMySql,
       "SELECT  ID," + kListColumns + " FROM LIST WHERE ((ListName = 'staff') AND (Status = 1))  LIMIT 1;"},
      {SqlDialect::kSqlite,
       "SELECT  ID," + kListColumns + " FROM LIST WHERE ((ListName = 'staff') AND (Status = 1))  LIMIT 1;"},
  };
  for (const auto& c : cases) {
    UseDialect(c.dialect);
    std::string text;
    ASSERT_TRUE(BuildGetStatement(listprov::kListFamily, &record, text));
    EXPECT_EQ(text, c.expected);
  }
}

TEST(StatementTextTest, MarkersAndZeroFilledRecord) {
  UseDialect(SqlDialect::kSqlServer);
  std::string text;
  auto blank = BlankList();
  std::strcpy(blank.AccountName, "(Nil)");
  std::strcpy(blank.Description, "(nil)");  // not the marker: lower case
  ASSERT_TRUE(BuildGetStatement(listprov::kListFamily, &blank, text));
  EXPECT_EQ(text, "SELECT TOP 1  ID," + kListColumns + " FROM LIST WHERE ((Description = '(nil)')) ;");

  // A record the caller only zero-filled restricts the four integer match
  // fields to 0.
  auto zero = Blank<ListRecord>();
  ASSERT_TRUE(BuildGetStatement(listprov::kListFamily, &zero, text));
  EXPECT_EQ(text, "SELECT TOP 1  ID," + kListColumns +
                      " FROM LIST WHERE ((ListType = 0) AND (Status = 0) AND (HeaderAnnotationStatus = 0) AND "
                      "(FooterAnnotationStatus = 0)) ;");

  auto none = Blank<ListMemberRecord>();
  ASSERT_TRUE(BuildGetStatement(listprov::kListMemberFamily, &none, text));
  EXPECT_EQ(text, "SELECT TOP 1  ID,Address,Postoffice,Mailbox FROM LIST_MEMBER ;");
  UseDialect(SqlDialect::kMySql);
  ASSERT_TRUE(BuildGetStatement(listprov::kListMemberFamily, &none, text));
  EXPECT_EQ(text, "SELECT  ID,Address,Postoffice,Mailbox FROM LIST_MEMBER  LIMIT 1;");
}

TEST(StatementTextTest, CommandsOfEachFamily) {
  UseDialect(SqlDialect::kSqlServer);
  auto member = Blank<ListMemberRecord>();
  std::strcpy(member.Address, "O'Brien@example.com");
  std::strcpy(member.Mailbox, "list");
  auto emptyMember = Blank<ListMemberRecord>();

  SMTPDomainRecord domain = Blank<SMTPDomainRecord>();
  std::strcpy(domain.DomainName, "d.example");
  domain.Status = 1;
  domain.RedirectionStatus = 0;
  std::strcpy(domain.RedirectionHosts, "h");
  std::strcpy(domain.Account, "a");
  domain.RetainMode = 1;
  domain.PollForMessages = 0;
  std::strcpy(domain.UpStreamHost, "up");
  domain.PollInterval = -1;
  domain.AliasMode = 2;
  std::strcpy(domain.AliasValue, "al");

  auto rule = Access(1, "192.0.2.*", 0);
  std::strcpy(rule.Account, "acc");
  std::strcpy(rule.AccessRight, "allow");

  auto entry = Blank<SMTPBlacklistRecord>();
  std::strcpy(entry.TargetDomainName, "t.example");
  std::strcpy(entry.BannedDomainName, "spam.example");
  entry.Status = 1;

  auto listValues = BlankList();
  std::strcpy(listValues.ListName, "n");
  listValues.Status = 2;
  std::strcpy(listValues.Owner, "(Nil)");

  std::string text;
  ASSERT_TRUE(BuildAddStatement(listprov::kListMemberFamily, &member, text));
  EXPECT_EQ(text,
            "INSERT INTO LIST_MEMBER (Address,Postoffice,Mailbox) VALUES ('O''Brien@example.com','','list');");
  ASSERT_TRUE(BuildAddStatement(smtpprov::kDomainFamily, &domain, text));
  EXPECT_EQ(text, "INSERT INTO DOMAIN (" + kDomainColumns +
                      ") VALUES ('d.example','1','0','h','a',1,0,'up',-1,2,'al');");
  ASSERT_TRUE(BuildAddStatement(smtpprov::kAccessFamily, &rule, text));
  EXPECT_EQ(text, "INSERT INTO SMTP_ACCESS (" + kAccessColumns + ") VALUES ('1','192.0.2.*','0','acc','allow');");
  ASSERT_TRUE(BuildAddStatement(smtpprov::kBlacklistFamily, &entry, text));
  EXPECT_EQ(text, "INSERT INTO SMTP_BLACKLIST (" + kBlacklistColumns +
                      ") VALUES ('t.example','spam.example','1','');");

  ASSERT_TRUE(BuildEditStatement(listprov::kListMemberFamily, &member, &emptyMember, text));
  EXPECT_EQ(text,
            "UPDATE LIST_MEMBER SET Address='',Postoffice='',Mailbox='' WHERE ((Address = "
            "'O''Brien@example.com') AND (Mailbox = 'list'));");
  ASSERT_TRUE(BuildEditStatement(smtpprov::kDomainFamily, &domain, &domain, text));
  EXPECT_EQ(text,
            "UPDATE DOMAIN SET DomainName='d.example',Status=1,RedirectionStatus=0,RedirectionHosts='h',"
            "Account='a',RetainMode=1,PollForMessages=0,UpStreamHost='up',AliasMode=2,AliasValue='al' WHERE "
            "((DomainName = 'd.example') AND (Status = 1) AND (RedirectionStatus = 0) AND (RedirectionHosts = "
            "'h') AND (Account = 'a'));");
  auto blankList = BlankList();
  ASSERT_TRUE(BuildEditStatement(listprov::kListFamily, &blankList, &listValues, text));
  // Every text is written, integers of -1 are left out, "(Nil)" is stored as is.
  EXPECT_EQ(text,
            "UPDATE LIST SET ListName='n',AccountName='',ModeratorAddress='',Status=2,Description='',"
            "HeaderAnnotation='',FooterAnnotation='',ListAddress='',SubscribeMessageFile='',"
            "UnsubscribeMessageFile='',SubjectSuffix='',SubjectPrefix='',Owner='(Nil)',HelpMessageFile='',"
            "RemovalMessageFile='',Password='',DigestMailbox='';");

  ASSERT_TRUE(BuildRemoveStatement(listprov::kListFamily, &blankList, text));
  EXPECT_EQ(text, "DELETE FROM LIST;");
  ASSERT_TRUE(BuildRemoveStatement(smtpprov::kBlacklistFamily, &entry, text));
  EXPECT_EQ(text,
            "DELETE FROM SMTP_BLACKLIST WHERE ((TargetDomainName = 't.example') AND (BannedDomainName = "
            "'spam.example') AND (Status = 1));");
}

TEST(StatementTextTest, FindNextShapes) {
  struct Case {
    SqlDialect dialect;
    SMTPAccessRecord record;
    int32_t last;
    std::string expected;
  } cases[] = {
      {SqlDialect::kSqlServer, Access(1, "192.0.2.7"), 0,
       "SELECT TOP 1   ID," + kAccessColumns +
           " FROM SMTP_ACCESS WHERE ((Mode = 1) AND ((AddressMask = '192.*.*.*') OR (AddressMask = '192.0.*.*') OR "
           "(AddressMask = '192.0.2.*') OR (AddressMask = '192.0.2.7')) AND ID > 0) ORDER BY ID ;"},
      {SqlDialect::kMySql, Access(-1, "192.0.2.7"), 17,
       "SELECT   ID," + kAccessColumns +
           " FROM SMTP_ACCESS WHERE ((AddressMask = '192.0.2.7') AND ID > 17) ORDER BY ID  LIMIT 1;"},
      {SqlDialect::kSqlServer, Access(-1, ""), 5,
       "SELECT TOP 1  ID," + kAccessColumns + " FROM SMTP_ACCESS WHERE (ID > 5) ORDER BY ID ;"},
      {SqlDialect::kSqlite, Access(2, "2001:db8::1"), 0,
       "SELECT   ID," + kAccessColumns +
           " FROM SMTP_ACCESS WHERE ((Mode = 2) AND ((AddressMask = '2001:0db8:0000:0000:0000:0000:0000:0001') OR "
           "(AddressMask = '2001:0db8:0000:0000:0000:0000:0000:*') OR (AddressMask = "
           "'2001:0db8:0000:0000:0000:0000:*:*') OR (AddressMask = '2001:0db8:0000:0000:0000:*:*:*') OR "
           "(AddressMask = '2001:0db8:0000:0000:*:*:*:*') OR (AddressMask = '2001:0db8:0000:*:*:*:*:*') OR "
           "(AddressMask = '2001:0db8:*:*:*:*:*:*') OR (AddressMask = '2001:*:*:*:*:*:*:*') OR (AddressMask = "
           "'*:*:*:*:*:*:*:*')) AND ID > 0) ORDER BY ID  LIMIT 1;"},
  };
  for (const auto& c : cases) {
    UseDialect(c.dialect);
    std::string text;
    ASSERT_TRUE(BuildFindNextStatement(smtpprov::kAccessFamily, &c.record, c.last, text));
    EXPECT_EQ(text, c.expected);
  }
  UseDialect(SqlDialect::kSqlServer);
  auto member = Blank<ListMemberRecord>();
  std::strcpy(member.Postoffice, "po");
  std::string text;
  ASSERT_TRUE(BuildFindNextStatement(listprov::kListMemberFamily, &member, 9, text));
  EXPECT_EQ(text,
            "SELECT TOP 1  ID,Address,Postoffice,Mailbox FROM LIST_MEMBER WHERE ((Postoffice = 'po') AND ID > 9) "
            "ORDER BY ID ;");
}

TEST(StatementTextTest, PatternFieldsFollowTheirPosition) {
  struct Case {
    SqlDialect dialect;
    SMTPAccessRecord record;
    std::string expectedWhere;
  } cases[] = {
      // First condition: always an equality, "*" kept.
      {SqlDialect::kSqlServer, Access(-1, "192.0.2.*"), "WHERE ((AddressMask = '192.0.2.*'))"},
      {SqlDialect::kSqlServer, Access(1, "192.0.2.*"), "WHERE ((Mode = 1) AND (AddressMask LIKE '192.0.2.%'))"},
      {SqlDialect::kSqlServer, Access(1, "a_b[*"), "WHERE ((Mode = 1) AND (AddressMask LIKE 'a[_]b[[]%'))"},
      {SqlDialect::kMySql, Access(1, "a_b*"), "WHERE ((Mode = 1) AND (AddressMask LIKE 'a\\_b%' ESCAPE '\\'))"},
      {SqlDialect::kSqlite, Access(1, "a_b*"), "WHERE ((Mode = 1) AND (AddressMask LIKE 'a\\_b%' ESCAPE '\\'))"},
      {SqlDialect::kMySql, Access(1, "a_b"), "WHERE ((Mode = 1) AND (AddressMask = 'a_b'))"},
  };
  for (const auto& c : cases) {
    UseDialect(c.dialect);
    std::string text;
    ASSERT_TRUE(BuildRemoveStatement(smtpprov::kAccessFamily, &c.record, text));
    EXPECT_EQ(text, "DELETE FROM SMTP_ACCESS " + c.expectedWhere + ";");
  }
  // The blacklist's target domain is always first, so always literal.
  UseDialect(SqlDialect::kSqlServer);
  auto entry = Blank<SMTPBlacklistRecord>();
  entry.Status = -1;
  std::strcpy(entry.TargetDomainName, "*.example");
  std::string text;
  ASSERT_TRUE(BuildGetStatement(smtpprov::kBlacklistFamily, &entry, text));
  EXPECT_EQ(text, "SELECT TOP 1  ID," + kBlacklistColumns +
                      " FROM SMTP_BLACKLIST WHERE ((TargetDomainName = '*.example')) ;");
  std::strcpy(entry.TargetDomainName, "t.example");
  std::strcpy(entry.BannedDomainName, "*.example");
  ASSERT_TRUE(BuildGetStatement(smtpprov::kBlacklistFamily, &entry, text));
  EXPECT_EQ(text, "SELECT TOP 1  ID," + kBlacklistColumns +
                      " FROM SMTP_BLACKLIST WHERE ((TargetDomainName = 't.example') AND (BannedDomainName LIKE "
                      "'%.example')) ;");
}

TEST(StatementTextTest, HostFieldsAreReadWithinTheirWidth) {
  UseDialect(SqlDialect::kSqlServer);
  auto member = Blank<ListMemberRecord>();
  std::memset(member.Postoffice, 'p', sizeof member.Postoffice);  // no terminator at all
  std::memset(member.Mailbox, 'm', sizeof member.Mailbox);
  std::string text;
  ASSERT_TRUE(BuildAddStatement(listprov::kListMemberFamily, &member, text));
  EXPECT_EQ(text, "INSERT INTO LIST_MEMBER (Address,Postoffice,Mailbox) VALUES (''," + ("'" + std::string(127, 'p')) +
                      "','" + std::string(127, 'm') + "');");
}

TEST(StatementTextTest, OverLongConditionIsRefused) {
  UseDialect(SqlDialect::kSqlServer);
  auto domain = Blank<SMTPDomainRecord>();
  domain.Status = domain.RedirectionStatus = -1;
  std::memset(domain.RedirectionHosts, '\'', sizeof domain.RedirectionHosts - 1);  // 2047 apostrophes
  std::string text;
  EXPECT_FALSE(BuildGetStatement(smtpprov::kDomainFamily, &domain, text));
  std::memset(domain.RedirectionHosts, 'h', sizeof domain.RedirectionHosts - 1);  // 2047 plain characters
  EXPECT_TRUE(BuildGetStatement(smtpprov::kDomainFamily, &domain, text));
}

}  // namespace
}  // namespace tallowmere::stores
