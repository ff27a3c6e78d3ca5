'''A systemd manager for the service backend's tests: the calls the backend
makes (units by pattern, LoadUnit, start, stop, freeze and thaw), on a few
units of its own. Jobs stay pending until CompleteJobs is called, so that the
pending states can be read. dbusmock logs every call.'''

import fnmatch

import dbus

from dbusmock import MOCK_IFACE, mockobject
from dbusmock.templates import systemd as base

BUS_NAME = base.BUS_NAME
MAIN_OBJ = base.MAIN_OBJ
MAIN_IFACE = base.MAIN_IFACE
SYSTEM_BUS = True
UNIT_IFACE = base.UNIT_IFACE
SERVICE_IFACE = 'org.freedesktop.systemd1.Service'
NO_JOB = dbus.Struct((dbus.UInt32(0), dbus.ObjectPath('/')), signature='uo')


def exec_start(path, argv):
    return dbus.Array([dbus.Struct((path, dbus.Array(argv, signature='s'), False,
                                    dbus.UInt64(0), dbus.UInt64(0), dbus.UInt64(0), dbus.UInt64(0),
                                    dbus.UInt32(0), dbus.Int32(0), dbus.Int32(0)),
                                   signature='sasbttttuii')], signature='(sasbttttuii)')


UNITS = [
    # name, unit properties, service properties
    ('cups.service',
     {'ActiveState': 'active', 'FreezerState': 'running', 'CanStop': True, 'CanFreeze': True,
      'Description': 'CUPS Scheduler', 'UnitFileState': 'enabled',
      'Requires': dbus.Array(['cups.socket', 'system.slice'], signature='s')},
     {'TimeoutStartUSec': dbus.UInt64(90000000), 'TimeoutStopUSec': dbus.UInt64(45000000),
      'Result': 'success', 'ExecMainStatus': dbus.Int32(0), 'User': '',
      'ExecStart': exec_start('/usr/sbin/cupsd', ['/usr/sbin/cupsd', '-l'])}),
    ('agent.service',
     {'ActiveState': 'failed', 'FreezerState': 'running', 'CanStop': True, 'CanFreeze': False,
      'Description': 'Backup agent', 'UnitFileState': 'masked',
      'Requires': dbus.Array([], signature='s')},
     {'TimeoutStartUSec': dbus.UInt64(5000000), 'TimeoutStopUSec': dbus.UInt64(5000000),
      'Result': 'exit-code', 'ExecMainStatus': dbus.Int32(3), 'User': 'backup',
      'ExecStart': exec_start('/opt/agent/run', ['run'])}),
    ('cron.service',
     {'ActiveState': 'active', 'FreezerState': 'frozen', 'CanStop': True, 'CanFreeze': True,
      'Description': 'Regular background program processing daemon', 'UnitFileState': 'static',
      'Requires': dbus.Array([], signature='s')},
     {'TimeoutStartUSec': dbus.UInt64(0), 'TimeoutStopUSec': dbus.UInt64(0),
      'Result': 'success', 'ExecMainStatus': dbus.Int32(0), 'User': '',
      'ExecStart': exec_start('/usr/sbin/cron', ['/usr/sbin/cron', '-f'])}),
    ('ghost.service', {'LoadState': 'not-found', 'ActiveState': 'inactive', 'Description': 'ghost.service'}, {}),
    ('dbus.socket', {'ActiveState': 'active', 'Description': 'D-Bus Socket'}, {}),
]


def add_unit(mock, name, unit_props, service_props):
    path = f'{base.PATH_PREFIX}/unit/{base.escape_unit_name(name)}'
    props = {'Id': name, 'Names': dbus.Array([name], signature='s'), 'LoadState': 'loaded', 'Job': NO_JOB}
    props.update(unit_props)
    mock.AddObject(path, UNIT_IFACE, props, [])
    if service_props:
        mockobject.objects[path].AddProperties(SERVICE_IFACE, service_props)
    mock.units[name] = path
    return path


def load(mock, parameters):
    base.load(mock, parameters)
    for name, unit_props, service_props in UNITS:
        add_unit(mock, name, unit_props, service_props)


def unit_of(self, name):
    return mockobject.objects[self.units[str(name)]]


def set_unit(self, name, props):
    set_props(unit_of(self, name), props)


def set_props(unit, props):
    # The mock cannot announce a changed structure, so the job is stored as
    # it is.
    job = props.pop('Job', None)
    if job is not None:
        unit.props[UNIT_IFACE]['Job'] = job
    unit.UpdateProperties(UNIT_IFACE, props)


def queue_job(self, name, props):
    job_id = self.next_job_id
    self.next_job_id += 1
    job_path = dbus.ObjectPath(f'{base.PATH_PREFIX}/job/{job_id}')
    props['Job'] = dbus.Struct((dbus.UInt32(job_id), job_path), signature='uo')
    set_unit(self, name, props)
    return job_path


@dbus.service.method(MAIN_IFACE, in_signature='asas', out_signature='a(ssssssouso)')
def ListUnitsByPatterns(self, states, patterns):
    result = []
    for name, path in self.units.items():
        if patterns and not any(fnmatch.fnmatch(name, p) for p in patterns):
            continue
        unit = mockobject.objects[path]
        get = lambda p: unit.Get(UNIT_IFACE, p)  # noqa: E731
        job = get('Job')
        result.append((name, get('Description'), get('LoadState'), get('ActiveState'), 'running', '',
                       dbus.ObjectPath(path), job[0], 'start' if job[0] else '', job[1]))
    return dbus.Array(result, signature='(ssssssouso)')


@dbus.service.method(MAIN_IFACE, in_signature='s', out_signature='o')
def LoadUnit(self, name):
    if str(name) not in self.units:
        add_unit(self, str(name), {'LoadState': 'not-found', 'ActiveState': 'inactive',
                                   'Description': str(name)}, {})
    return self.units[str(name)]


@dbus.service.method(MAIN_IFACE, in_signature='ss', out_signature='o')
def StartUnit(self, name, mode):
    return queue_job(self, name, {'ActiveState': 'activating'})


@dbus.service.method(MAIN_IFACE, in_signature='ss', out_signature='o')
def StopUnit(self, name, mode):
    return queue_job(self, name, {'ActiveState': 'deactivating'})


@dbus.service.method(MAIN_IFACE, in_signature='s', out_signature='')
def FreezeUnit(self, name):
    if unit_of(self, name).Get(UNIT_IFACE, 'ActiveState') != 'active':
        raise dbus.exceptions.DBusException(f'Unit {name} is not active.',
                                            name='org.freedesktop.systemd1.UnitInactive')
    set_unit(self, name, {'FreezerState': 'freezing'})


@dbus.service.method(MAIN_IFACE, in_signature='s', out_signature='')
def ThawUnit(self, name):
    if unit_of(self, name).Get(UNIT_IFACE, 'ActiveState') != 'active':
        raise dbus.exceptions.DBusException(f'Unit {name} is not active.',
                                            name='org.freedesktop.systemd1.UnitInactive')
    set_unit(self, name, {'FreezerState': 'thawing'})


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='')
def CompleteJobs(self):
    settled = {'activating': 'active', 'deactivating': 'inactive'}
    frozen = {'freezing': 'frozen', 'thawing': 'running'}
    for path in self.units.values():
        unit = mockobject.objects[path]
        state = str(unit.Get(UNIT_IFACE, 'ActiveState'))
        props = {'Job': NO_JOB, 'ActiveState': settled.get(state, state)}
        try:
            freezer = str(unit.Get(UNIT_IFACE, 'FreezerState'))
            props['FreezerState'] = frozen.get(freezer, freezer)
        except dbus.exceptions.DBusException:
            pass
        set_props(unit, props)
