#include "platform/pdf/scrub/ObjectEdits.h"

#include "platform/pdf/document/ClearMetadata.h"
#include "platform/pdf/document/State.h"

namespace vmk::pdf {

using namespace detail;

ObjectEdits::ObjectEdits() : d(std::make_unique<Impl>()) {}

ObjectEdits::~ObjectEdits() = default;

bool ObjectEdits::isEmpty() const { return d->entries.empty() && d->streams.empty(); }

void ObjectEdits::exchange()
{
    fz_context* c = ctx();
    for (Impl::Entry& e : d->entries) {
        guarded(c, [&] {
            pdf_obj* dict = Impl::container(c, e);
            if (!pdf_is_dict(c, dict))
                return;
            pdf_obj* current = pdf_keep_obj(c, pdf_dict_get(c, dict, e.key));
            if (e.value)
                pdf_dict_put(c, dict, e.key, e.value);
            else
                pdf_dict_del(c, dict, e.key);
            pdf_drop_obj(c, e.value);
            e.value = current;
        });
    }
    for (Impl::Stream& s : d->streams) {
        guarded(c, [&] {
            fz_buffer* current = detail::loadStreamAsStored(c, d->doc, s.ref);
            if (!current)
                return;
            fz_try(c) { pdf_update_stream(c, d->doc, s.ref, s.data, 0); }
            fz_catch(c)
            {
                fz_drop_buffer(c, current);
                fz_rethrow(c);
            }
            fz_drop_buffer(c, s.data);
            s.data = current;
        });
    }
}

} // namespace vmk::pdf
