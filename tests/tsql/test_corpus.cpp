// placeholder, filled below
#include "TsqlTestUtil.h"
