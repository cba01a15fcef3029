-- Tables of the list and SMTP stores for Microsoft SQL Server.
-- varchar columns in a single-byte code page; widths are the record field
-- widths minus the terminating NUL. Unique indexes (not constraints) make a
-- duplicate insert report native error 2601, which the provider tolerates.

CREATE TABLE [LIST] (
  ID INT IDENTITY(1,1) NOT NULL PRIMARY KEY,
  ListName VARCHAR(127) NOT NULL DEFAULT '',
  AccountName VARCHAR(127) NOT NULL DEFAULT '',
  ListType INT NOT NULL DEFAULT 0,
  ModeratorAddress VARCHAR(127) NOT NULL DEFAULT '',
  Status INT NOT NULL DEFAULT 0,
  Description VARCHAR(255) NOT NULL DEFAULT '',
  HeaderAnnotationStatus INT NOT NULL DEFAULT 0,
  HeaderAnnotation VARCHAR(255) NOT NULL DEFAULT '',
  FooterAnnotationStatus INT NOT NULL DEFAULT 0,
  FooterAnnotation VARCHAR(255) NOT NULL DEFAULT '',
  ListAddress VARCHAR(255) NOT NULL DEFAULT '',
  SubscribeMessageFileStatus INT NOT NULL DEFAULT 0,
  SubscribeMessageFile VARCHAR(255) NOT NULL DEFAULT '',
  UnsubscribeMessageFileStatus INT NOT NULL DEFAULT 0,
  UnsubscribeMessageFile VARCHAR(255) NOT NULL DEFAULT '',
  SubjectSuffixStatus INT NOT NULL DEFAULT 0,
  SubjectSuffix VARCHAR(255) NOT NULL DEFAULT '',
  SubjectPrefixStatus INT NOT NULL DEFAULT 0,
  SubjectPrefix VARCHAR(255) NOT NULL DEFAULT '',
  Owner VARCHAR(255) NOT NULL DEFAULT '',
  HelpMessageFileStatus INT NOT NULL DEFAULT 0,
  HelpMessageFile VARCHAR(255) NOT NULL DEFAULT '',
  RemovalMessageFileStatus INT NOT NULL DEFAULT 0,
  RemovalMessageFile VARCHAR(255) NOT NULL DEFAULT '',
  ReplyToMode INT NOT NULL DEFAULT 0,
  MaxMessageSize INT NOT NULL DEFAULT 0,
  PostingMode INT NOT NULL DEFAULT 0,
  SubScriptionMode INT NOT NULL DEFAULT 0,
  AuthenticationMode INT NOT NULL DEFAULT 0,
  Password VARCHAR(255) NOT NULL DEFAULT '',
  DigestMode INT NOT NULL DEFAULT 0,
  DigestMailbox VARCHAR(255) NOT NULL DEFAULT '',
  DigestAnnotationMode INT NOT NULL DEFAULT 0,
  DigestAttachmentMode INT NOT NULL DEFAULT 0,
  DigestMessageSeparationMode INT NOT NULL DEFAULT 0,
  DigestSchedulingStatus INT NOT NULL DEFAULT 0,
  DigestSchedulingMode INT NOT NULL DEFAULT 0,
  DigestSchedulingInterval INT NOT NULL DEFAULT 0,
  FromAddressMode INT NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX UX_LIST_Name ON [LIST] (ListName, AccountName);
GO

CREATE TABLE [LIST_MEMBER] (
  ID INT IDENTITY(1,1) NOT NULL PRIMARY KEY,
  Address VARCHAR(255) NOT NULL DEFAULT '',
  Postoffice VARCHAR(127) NOT NULL DEFAULT '',
  Mailbox VARCHAR(127) NOT NULL DEFAULT ''
);
CREATE UNIQUE INDEX UX_LIST_MEMBER ON [LIST_MEMBER] (Postoffice, Mailbox, Address);
CREATE INDEX IX_LIST_MEMBER_Address ON [LIST_MEMBER] (Address);
GO

CREATE TABLE [DOMAIN] (
  ID INT IDENTITY(1,1) NOT NULL PRIMARY KEY,
  DomainName VARCHAR(511) NOT NULL DEFAULT '',
  Status INT NOT NULL DEFAULT 0,
  RedirectionStatus INT NOT NULL DEFAULT 0,
  RedirectionHosts VARCHAR(2047) NOT NULL DEFAULT '',
  Account VARCHAR(127) NOT NULL DEFAULT '',
  RetainMode INT NOT NULL DEFAULT 0,
  PollForMessages INT NOT NULL DEFAULT 0,
  UpStreamHost VARCHAR(511) NOT NULL DEFAULT '',
  PollInterval INT NOT NULL DEFAULT 0,
  AliasMode INT NOT NULL DEFAULT 0,
  AliasValue VARCHAR(511) NOT NULL DEFAULT ''
);
CREATE UNIQUE INDEX UX_DOMAIN_Name ON [DOMAIN] (DomainName);
GO

CREATE TABLE [SMTP_ACCESS] (
  ID INT IDENTITY(1,1) NOT NULL PRIMARY KEY,
  Mode INT NOT NULL DEFAULT 0,
  AddressMask VARCHAR(511) NOT NULL DEFAULT '',
  Status INT NOT NULL DEFAULT 0,
  Account VARCHAR(127) NOT NULL DEFAULT '',
  AccessRight VARCHAR(63) NOT NULL DEFAULT ''
);
CREATE UNIQUE INDEX UX_SMTP_ACCESS ON [SMTP_ACCESS] (Mode, AddressMask, Status, Account, AccessRight);
CREATE INDEX IX_SMTP_ACCESS_AddressMask ON [SMTP_ACCESS] (AddressMask);
GO

CREATE TABLE [SMTP_BLACKLIST] (
  ID INT IDENTITY(1,1) NOT NULL PRIMARY KEY,
  TargetDomainName VARCHAR(511) NOT NULL DEFAULT '',
  BannedDomainName VARCHAR(511) NOT NULL DEFAULT '',
  Status INT NOT NULL DEFAULT 0,
  Account VARCHAR(127) NOT NULL DEFAULT ''
);
CREATE UNIQUE INDEX UX_SMTP_BLACKLIST ON [SMTP_BLACKLIST] (TargetDomainName, BannedDomainName);
GO
