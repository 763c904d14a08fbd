// The scroll-bar side of the scrolling model.

#include "toolkit/UIScrollBase.h"

UIScrollBase::UIScrollBase() = default;

UIScrollBase::~UIScrollBase()
{
    fAxis.DetachClient();
}

bool UIScrollBase::OverlaysContent() const
{
    return false;
}
