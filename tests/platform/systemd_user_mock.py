'''The user's systemd manager for the scheduler's tests: systemd's template
(its units, GetUnit, StartUnit) with the calls it lacks (EnableUnitFiles,
Reload), on the session bus. The parameter "units" names the units it has
loaded at the start. dbusmock logs every call.'''

import dbus

from dbusmock.templates import systemd as base
from dbusmock.templates.systemd import GetUnit, StartUnit  # noqa: F401 (the mock's own methods)

BUS_NAME = base.BUS_NAME
MAIN_OBJ = base.MAIN_OBJ
MAIN_IFACE = base.MAIN_IFACE
SYSTEM_BUS = False


def load(mock, parameters):
    base.load(mock, parameters)
    for name in parameters.get('units', []):
        path = f'{base.PATH_PREFIX}/unit/{base.escape_unit_name(name)}'
        mock.units[name] = path
        mock.AddObject(path, base.UNIT_IFACE,
                       {'Id': name, 'Names': [name], 'LoadState': 'loaded', 'ActiveState': 'inactive'}, [])


@dbus.service.method(MAIN_IFACE, in_signature='asbb', out_signature='ba(sss)')
def EnableUnitFiles(self, files, runtime, force):
    changes = [('symlink', f'/home/user/.config/systemd/user/default.target.wants/{f}', f'/usr/lib/systemd/user/{f}')
               for f in files]
    return (True, dbus.Array(changes, signature='(sss)'))


@dbus.service.method(MAIN_IFACE, in_signature='', out_signature='')
def Reload(self):
    pass
