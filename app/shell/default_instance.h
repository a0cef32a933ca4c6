#pragma once
// The one default instance of a window, created and loaded on first use and reused afterwards.
// A child window closed with its close box is deleted with its frame; the accessor notices (the
// pointer is a QPointer) and the next use loads a new window, as an unloaded form is loaded again
// when it is next named. So no caller ever reaches a window that is gone.
#include <QPointer>

template <class Form> class DefaultInstance {
public:
    // `load` runs the window's load steps once the instance is reachable (a load step may use it).
    using Load = void (*)(Form&);
    explicit DefaultInstance(Load load = nullptr) : load_(load) {}

    Form& get() {
        if (!form_) {
            form_ = new Form();
            ++loads_;
            if (load_) load_(*form_);
        }
        return *form_;
    }
    bool exists() const { return !form_.isNull(); }
    Form* find() const { return form_.data(); } // nullptr when there is none
    // Forgets the window without deleting it (its owner deletes it) and hands it back.
    Form* release() {
        Form* form = form_.data();
        form_.clear();
        return form;
    }
    // How often a window was loaded: more than once means it was closed and opened again.
    int loads() const { return loads_; }

private:
    QPointer<Form> form_;
    Load load_;
    int loads_ = 0;
};
