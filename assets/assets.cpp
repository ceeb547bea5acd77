// The pictures themselves come from the resource object this library carries.
