#include "VmoLib2/VmoViewer/qxVmoLoader2.h"
