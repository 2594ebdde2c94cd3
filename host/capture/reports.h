// The reports of what the host received, each reading the one model: the
// JSON dump and the text report, printed by the hosts. The export's writers
// (mdlhost --export) serialise the export mesh built from the same model.
#pragma once

#include <ostream>
#include <string>

#include "received_model.h"

// The JSON dump: every record as delivered (docs: dump format).
std::string JsonDump(const ReceivedModel& model);
// The same for a capture, through its model.
std::string JsonDump(const ImportCapture& capture);

// A readable report: the plug-in's description, boxes, deliveries and result.
std::string TextReport(const ReceivedModel& model, const std::string& description);
