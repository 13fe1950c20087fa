#pragma once
// The entries of the service commands the main window and the document call.
// The parameter list page (32804) is htmlexport::ExportHtml of app/HtmlExport.h.
class CPelmDoc;
class QWidget;

// The network-settings change dialog (command 265 through CPelmDoc::OnApply, and
// the link's notice after a network setting was written). True when "APLY" went
// through and the program's port settings are to follow the module's.
bool RunApplyDialog(CPelmDoc& document, QWidget* parent);

// The single-parameter dialog (command 378).
void RunSinglePointDialog(CPelmDoc& document, QWidget* parent);

// The input/output state dialog (command 32821).
void RunStateDialog(CPelmDoc& document, QWidget* parent);
