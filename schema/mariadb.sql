-- Tables of the list and SMTP stores for MariaDB and MySQL.
-- Text columns are latin1 (one byte per character, every byte 1-255 kept
-- as it is); connect with CHARSET=latin1 so nothing is converted on the way.
-- Widths are the record field widths minus the terminating NUL.

CREATE TABLE IF NOT EXISTS LIST (
  ID INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
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
  FromAddressMode INT NOT NULL DEFAULT 0,
  UNIQUE KEY UX_LIST_Name (ListName, AccountName)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE IF NOT EXISTS LIST_MEMBER (
  ID INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  Address VARCHAR(255) NOT NULL DEFAULT '',
  Postoffice VARCHAR(127) NOT NULL DEFAULT '',
  Mailbox VARCHAR(127) NOT NULL DEFAULT '',
  UNIQUE KEY UX_LIST_MEMBER (Postoffice, Mailbox, Address),
  KEY IX_LIST_MEMBER_Address (Address)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

-- RedirectionHosts holds up to 2047 characters: TEXT, so the row stays
-- within MariaDB's row size limit; it is not part of an index.
CREATE TABLE IF NOT EXISTS DOMAIN (
  ID INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  DomainName VARCHAR(511) NOT NULL DEFAULT '',
  Status INT NOT NULL DEFAULT 0,
  RedirectionStatus INT NOT NULL DEFAULT 0,
  RedirectionHosts TEXT NOT NULL,
  Account VARCHAR(127) NOT NULL DEFAULT '',
  RetainMode INT NOT NULL DEFAULT 0,
  PollForMessages INT NOT NULL DEFAULT 0,
  UpStreamHost VARCHAR(511) NOT NULL DEFAULT '',
  PollInterval INT NOT NULL DEFAULT 0,
  AliasMode INT NOT NULL DEFAULT 0,
  AliasValue VARCHAR(511) NOT NULL DEFAULT '',
  UNIQUE KEY UX_DOMAIN_Name (DomainName)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE IF NOT EXISTS SMTP_ACCESS (
  ID INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  Mode INT NOT NULL DEFAULT 0,
  AddressMask VARCHAR(511) NOT NULL DEFAULT '',
  Status INT NOT NULL DEFAULT 0,
  Account VARCHAR(127) NOT NULL DEFAULT '',
  AccessRight VARCHAR(63) NOT NULL DEFAULT '',
  UNIQUE KEY UX_SMTP_ACCESS (Mode, AddressMask, Status, Account, AccessRight),
  KEY IX_SMTP_ACCESS_AddressMask (AddressMask)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE IF NOT EXISTS SMTP_BLACKLIST (
  ID INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  TargetDomainName VARCHAR(511) NOT NULL DEFAULT '',
  BannedDomainName VARCHAR(511) NOT NULL DEFAULT '',
  Status INT NOT NULL DEFAULT 0,
  Account VARCHAR(127) NOT NULL DEFAULT '',
  UNIQUE KEY UX_SMTP_BLACKLIST (TargetDomainName, BannedDomainName)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;
