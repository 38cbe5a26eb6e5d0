// CMsgStoreLDAP: the message store's directory object (CMsgStore::GetLDAP),
// through which the agent finds a user's local name from the name the user
// has on another mail system (GetOtherMbxAttr, CVEXLDAP.h).
//
// The store lies below the directory client, so it only holds the lookup the
// host installs (SetLookup); until then every lookup throws CLDAPException.
#pragma once

#include "suite/vexclass/CVEXLDAP.h"

class CMsgStoreLDAP : public CVEXLDAP {};
