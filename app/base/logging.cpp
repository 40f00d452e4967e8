#include "base/logging.h"

namespace glim {
// Warnings only by default: the information messages appear when a rule enables them.
Q_LOGGING_CATEGORY(lcCatalogue, "glimmora.catalogue", QtWarningMsg)
Q_LOGGING_CATEGORY(lcMaintenance, "glimmora.catalogue.maintenance", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCataloguing, "glimmora.cataloguing", QtWarningMsg)
Q_LOGGING_CATEGORY(lcViewer, "glimmora.viewer", QtWarningMsg)
Q_LOGGING_CATEGORY(lcStartup, "glimmora.startup", QtWarningMsg)
}  // namespace glim
