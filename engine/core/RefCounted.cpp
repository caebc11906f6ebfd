#include "engine/core/RefCounted.h"

#include "engine/core/Log.h"

namespace Vorn {

RefCounted::~RefCounted()
{
    if (references > 0)
        LogWarning("Удаление объекта, имеющего ссылки. Количество ссылок [%d].", references);
}

} // namespace Vorn
