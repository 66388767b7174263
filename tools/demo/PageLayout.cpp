#include "demo/PageLayout.h"

namespace demo {

int PageStepX(int k)
{
    return 100 + k * 110;
}

int PageLineY(int string)
{
    return 62 + string * 20;
}

} // namespace demo
