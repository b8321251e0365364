#pragma once
// Loading of info-object definitions with the logged-in user's permissions,
// and the definition cache of the login. Installed in the application object
// as GetInfoObjectDefProc; log-out frees every cached definition.
#include <QString>

class TInfoObjectDef;

// The cached definition of the object (case-insensitive ID), loaded on a miss;
// nullptr when no such object exists (nothing is cached then). Database errors
// pass to the caller and leave nothing cached.
TInfoObjectDef* DoGetInfoObjectDef(const QString& AObjectID);

// Fills a new definition whose ID holds the requested object ID from the
// metadata tables, cut down to what the logged-in user may see; leaves ID
// empty when there is no such object. Runs on GlobalADOQuery; errors are raised.
void LoadInfoObjectDef(TInfoObjectDef* ADef);

// Frees every cached definition (log-out).
void ClearInfoObjectDefCache();
int InfoObjectDefCacheCount();

class TInfoApplication;
// Installs the cached loader as the application's GetInfoObjectDefProc.
void InstallInfoObjectDefHooks(TInfoApplication* AApplication);
