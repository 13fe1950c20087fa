#pragma once
// Until the connection-setup and network-settings dialogs exist, the document's
// hooks end here. Each is one function so that the dialog replaces it.
class CPelmDoc;
class Device;

// The connection-setup dialog after a failed connection: says that no module
// answered and ends like Cancel (false: the program ends).
bool RunConnectionSetupStandIn(Device& link);
// The network-settings change of an interactive APLY: says that the dialog is not
// there and ends like Cancel.
bool RunApplyDialogStandIn(CPelmDoc& document);
