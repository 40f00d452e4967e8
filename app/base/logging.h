// Diagnostic logging for bug reports. Each module has a category; all are silent by default
// and are switched on with QT_LOGGING_RULES, for example
//   QT_LOGGING_RULES="glimmora.*=true" glimmora
// The categories log what a report needs: failed loads with their error number and file,
// catalogue errors with the database's own text, and the steps of catalogue maintenance.
#pragma once

#include <QLoggingCategory>

namespace glim {
Q_DECLARE_LOGGING_CATEGORY(lcCatalogue)    // glimmora.catalogue
Q_DECLARE_LOGGING_CATEGORY(lcMaintenance)  // glimmora.catalogue.maintenance
Q_DECLARE_LOGGING_CATEGORY(lcCataloguing)  // glimmora.cataloguing
Q_DECLARE_LOGGING_CATEGORY(lcViewer)       // glimmora.viewer
Q_DECLARE_LOGGING_CATEGORY(lcStartup)      // glimmora.startup
}  // namespace glim
